#include "platform/RegularFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

std::string TemporaryFolder()
{
    const char* dir = std::getenv("TMPDIR");
    struct stat st {};
    if (dir && dir[0] == '/' && ::stat(dir, &st) == 0 && S_ISDIR(st.st_mode) && ::access(dir, W_OK | X_OK) == 0) {
        std::string folder = dir;
        while (folder.size() > 1 && folder.back() == '/')
            folder.pop_back();
        return folder;
    }
    return "/tmp";
}

namespace {

std::string KindOf(mode_t mode)
{
    if (S_ISDIR(mode))
        return "a folder";
    if (S_ISFIFO(mode))
        return "a named pipe";
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return "a device";
    if (S_ISSOCK(mode))
        return "a socket";
    return "not a file";
}

std::string SizeText(size_t bytes)
{
    if (bytes % (1024 * 1024) == 0)
        return std::to_string(bytes / (1024 * 1024)) + " MiB";
    if (bytes % 1024 == 0)
        return std::to_string(bytes / 1024) + " KiB";
    return std::to_string(bytes) + " bytes";
}

TFileRead Refused(TFileReadStatus status, std::string problem)
{
    TFileRead r;
    r.Status = status;
    r.Problem = std::move(problem);
    return r;
}

TFileRead NotRegular(mode_t mode) { return Refused(TFileReadStatus::NotRegular, "it is not a regular file (" + KindOf(mode) + ")"); }

TFileRead TooLarge(size_t maxBytes) { return Refused(TFileReadStatus::TooLarge, "it is larger than " + SizeText(maxBytes)); }

TFileRead OpenFailed(int err)
{
    if (err == ENOENT || err == ENOTDIR)
        return TFileRead {};
    return Refused(TFileReadStatus::Failed, std::strerror(err));
}

} // namespace

TFileRead ReadRegularFile(const std::string& fileName, size_t maxBytes)
{
    // Look before opening: opening some devices has effects of its own.
    struct stat st {};
    if (::stat(fileName.c_str(), &st) != 0)
        return OpenFailed(errno);
    if (!S_ISREG(st.st_mode))
        return NotRegular(st.st_mode);
    if (static_cast<unsigned long long>(st.st_size) > maxBytes)
        return TooLarge(maxBytes);

    // The name may have been replaced in between: open without blocking (a
    // named pipe would wait for a writer) and check what was opened.
    int fd = ::open(fileName.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return OpenFailed(errno);
    TFileRead result;
    if (::fstat(fd, &st) != 0) {
        result = Refused(TFileReadStatus::Failed, std::strerror(errno));
    } else if (!S_ISREG(st.st_mode)) {
        result = NotRegular(st.st_mode);
    } else {
        // Read one byte beyond the bound to notice a file that grew meanwhile.
        // The buffer starts at the size seen and grows only when the file does.
        const size_t bound = maxBytes + 1;
        std::string content;
        content.resize(std::min(bound, static_cast<size_t>(st.st_size) + 1));
        size_t done = 0;
        bool failed = false;
        for (;;) {
            if (done == content.size()) {
                if (done == bound)
                    break;
                content.resize(std::min(bound, done * 2 + 4096));
            }
            ssize_t n = ::read(fd, content.data() + done, content.size() - done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0) {
                result = Refused(TFileReadStatus::Failed, std::strerror(errno));
                failed = true;
                break;
            }
            if (n == 0)
                break;
            done += static_cast<size_t>(n);
        }
        if (!failed) {
            if (done > maxBytes) {
                result = TooLarge(maxBytes);
            } else {
                content.resize(done);
                result.Status = TFileReadStatus::Ok;
                result.Content = std::move(content);
            }
        }
    }
    ::close(fd);
    return result;
}

bool WriteAll(int fd, const void* data, size_t size)
{
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd, p, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = ENOSPC;
            return false;
        }
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}
