#pragma once

// Names that are no regular file, made inside a test's own folder: a folder,
// a named pipe, a bound socket, and (only as root) a character device node.

#include <filesystem>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

namespace qvtest {

enum class TSpecialKind { Folder, Fifo, Socket, Device };
constexpr TSpecialKind AllSpecialKinds[] = {TSpecialKind::Folder, TSpecialKind::Fifo, TSpecialKind::Socket,
                                            TSpecialKind::Device};

// Holds what stands under Path; the socket's descriptor is closed and the
// name removed when it goes out of scope.
class TSpecialFile {
public:
    TSpecialFile(TSpecialKind kind, std::string path) : path_(std::move(path))
    {
        switch (kind) {
        case TSpecialKind::Folder: made_ = std::filesystem::create_directory(path_); break;
        case TSpecialKind::Fifo: made_ = mkfifo(path_.c_str(), 0600) == 0; break;
        case TSpecialKind::Socket: {
            sockaddr_un addr{};
            addr.sun_family = AF_UNIX;
            if (path_.size() >= sizeof addr.sun_path)
                break;
            path_.copy(addr.sun_path, path_.size());
            socket_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
            made_ = socket_ >= 0 && bind(socket_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
            break;
        }
        case TSpecialKind::Device:
            // Only root can make a device node; it is made here, never a system one named.
            made_ = geteuid() == 0 && mknod(path_.c_str(), S_IFCHR | 0600, makedev(1, 3)) == 0;
            break;
        }
    }
    ~TSpecialFile()
    {
        if (socket_ >= 0)
            close(socket_);
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TSpecialFile(const TSpecialFile&) = delete;
    TSpecialFile& operator=(const TSpecialFile&) = delete;

    // False when this kind cannot be made here (a device without root).
    bool Made() const { return made_; }

private:
    std::string path_;
    int socket_ = -1;
    bool made_ = false;
};

} // namespace qvtest
