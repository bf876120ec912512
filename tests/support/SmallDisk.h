#pragma once

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <sys/mount.h>
#include <unistd.h>

namespace qvtest {

// A tmpfs of a given size, mounted at Where (inside the test's temporary
// folder) for the test's life when the test may (root); read-only when asked.
// Unmounted in every case.
class TSmallDisk {
public:
    TSmallDisk(const std::string& where, const std::string& size, bool readOnly = false) : path_(where)
    {
        std::filesystem::create_directories(where);
        if (geteuid() != 0) {
            why_ = "mounting a small disk needs root";
            return;
        }
        const std::string options = "size=" + size;
        const unsigned long flags = MS_NOSUID | MS_NODEV | (readOnly ? MS_RDONLY : 0);
        if (mount("tmpfs", where.c_str(), "tmpfs", flags, options.c_str()) != 0) {
            why_ = std::string("cannot mount a tmpfs: ") + std::strerror(errno);
            return;
        }
        mounted_ = true;
    }
    ~TSmallDisk()
    {
        if (mounted_)
            umount2(path_.c_str(), MNT_DETACH);
    }
    TSmallDisk(const TSmallDisk&) = delete;
    TSmallDisk& operator=(const TSmallDisk&) = delete;

    bool Mounted() const { return mounted_; }
    const std::string& Why() const { return why_; }

private:
    std::string path_;
    bool mounted_ = false;
    std::string why_;
};

} // namespace qvtest
