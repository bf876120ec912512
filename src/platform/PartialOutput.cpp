#include "platform/PartialOutput.h"

#include "platform/TextRules.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr const char* Marker = ".qvpart-";
constexpr size_t NameMax = 255; // bytes in one file name on the usual file systems

bool SameFile(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// True when Path still names the file open on Fd.
bool PathNamesFd(const std::string& path, int fd)
{
    struct stat byPath, byFd;
    return lstat(path.c_str(), &byPath) == 0 && fstat(fd, &byFd) == 0 && SameFile(byPath, byFd);
}

} // namespace

std::string FolderOf(const std::string& path)
{
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string PartialHostTag(const std::string& hostName)
{
    std::string tag = hostName.substr(0, hostName.find('.'));
    if (tag.size() > 64)
        tag.resize(64);
    for (char& c : tag)
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_'))
            c = '_';
    return tag;
}

std::string PartialHostTag()
{
    static const std::string tag = [] {
        char name[HOST_NAME_MAX + 1] = {};
        return gethostname(name, sizeof name - 1) == 0 ? PartialHostTag(name) : std::string();
    }();
    return tag;
}

std::string PartialOutputName(const std::string& output, long pid, const std::string& host)
{
    const std::string name = FileNamePart(output);
    const std::string suffix = Marker + (host.empty() ? "" : host + "-") + std::to_string(pid) + FileExtension(name);
    std::string middle = name;
    if (1 + middle.size() + suffix.size() > NameMax) {
        size_t keep = NameMax > 1 + suffix.size() ? NameMax - 1 - suffix.size() : 0;
        // Never cut a UTF-8 sequence in two.
        while (keep > 0 && keep < middle.size() && (static_cast<unsigned char>(middle[keep]) & 0xC0) == 0x80)
            --keep;
        middle.resize(keep);
    }
    return FolderOf(output) + "." + middle + suffix;
}

namespace {

bool HostTagChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
}

// Reads "[host-]pid" (the text between the marker and the extension).
bool ReadWriter(const std::string& text, TPartialWriter& writer)
{
    const size_t dash = text.rfind('-');
    const std::string host = dash == std::string::npos ? "" : text.substr(0, dash);
    const std::string pid = dash == std::string::npos ? text : text.substr(dash + 1);
    if ((dash != std::string::npos && host.empty()) || pid.empty() || pid.size() > 10 ||
        pid.find_first_not_of("0123456789") != std::string::npos)
        return false;
    writer.Host = host;
    writer.Pid = std::stol(pid);
    return true;
}

} // namespace

bool IsPartialOutputName(const std::string& fileName, TPartialWriter* writer)
{
    if (fileName.size() < 2 || fileName.size() > NameMax || fileName[0] != '.' ||
        fileName.find('/') != std::string::npos)
        return false;
    const size_t markerSize = std::strlen(Marker);
    // The marker may also occur inside the output's own name: every place is tried.
    for (size_t marker = fileName.find(Marker, 2); marker != std::string::npos;
         marker = fileName.find(Marker, marker + 1)) {
        size_t p = marker + markerSize;
        const size_t start = p;
        while (p < fileName.size() && HostTagChar(fileName[p]))
            ++p;
        TPartialWriter found;
        if (!ReadWriter(fileName.substr(start, p - start), found))
            continue;
        const std::string name = fileName.substr(1, marker - 1);
        const std::string extension = fileName.substr(p);
        // A shortened name: cut to the limit (less at most three bytes of a
        // letter), followed by the extension of the whole name.
        if (extension == FileExtension(name) ||
            (fileName.size() + 3 >= NameMax && !extension.empty() && FileExtension("x" + extension) == extension)) {
            if (writer)
                *writer = found;
            return true;
        }
    }
    return false;
}

bool RemoveUnheldPartial(const std::string& path)
{
    int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return false;
    bool removed = false;
    struct stat st;
    // Only a file this user made and nobody else links to. The lock fails
    // while a running conversion holds the file (and where the file system
    // has no locks, when nobody can tell).
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_nlink == 1 && st.st_uid == geteuid() &&
        flock(fd, LOCK_EX | LOCK_NB) == 0 && PathNamesFd(path, fd))
        removed = unlink(path.c_str()) == 0;
    close(fd);
    return removed;
}

int RemoveLeftoverPartials(const std::string& folder)
{
    DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
    if (!dir)
        return 0;
    std::string base = folder;
    if (!base.empty() && base.back() != '/')
        base += '/';
    int removed = 0;
    const std::string host = PartialHostTag();
    while (dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        TPartialWriter writer;
        if (!IsPartialOutputName(name, &writer))
            continue;
        // Another host's file stays, and so does one of this host whose
        // process still runs.
        if (!writer.Host.empty() &&
            (writer.Host != host || writer.Pid > INT_MAX || !(kill(static_cast<pid_t>(writer.Pid), 0) != 0 && errno == ESRCH)))
            continue;
        if (RemoveUnheldPartial(base + name))
            ++removed;
    }
    closedir(dir);
    return removed;
}

TPartialOutput::~TPartialOutput()
{
    Discard();
}

bool TPartialOutput::Create(const std::string& output, std::string& error)
{
    Discard();
    output_ = output;
    path_ = PartialOutputName(output, static_cast<long>(getpid()));
    // A cleaner of another batch may take a file between its creation and our
    // lock; then it is gone and we try again.
    for (int attempt = 0; attempt < 5; ++attempt) {
        int fd = open(path_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd < 0) {
            // A leftover of an earlier process that had our process id.
            if (errno == EEXIST && RemoveUnheldPartial(path_))
                continue;
            const int failed = errno;
            error = "cannot create the temporary file '" + path_ + "': " + std::strerror(failed);
            struct stat folder;
            const std::string folderName = FolderOf(output).empty() ? "." : FolderOf(output);
            if (failed == ENOENT && stat(folderName.c_str(), &folder) != 0)
                error += " (the output folder '" + folderName + "' no longer exists)";
            else if (failed == EMFILE || failed == ENFILE)
                error += " (too many files are open at once; convert fewer files at a time)";
            path_.clear();
            return false;
        }
        // A file system without locks (some network and user-space ones)
        // gets an unlocked file, which cleaners then leave alone as well.
        const bool taken = flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
        if (taken || !PathNamesFd(path_, fd)) {
            close(fd);
            continue;
        }
        // The new file keeps the permissions of the one it will replace.
        struct stat old;
        if (stat(output.c_str(), &old) == 0 && S_ISREG(old.st_mode))
            fchmod(fd, old.st_mode & 07777);
        fd_ = fd;
        return true;
    }
    error = "cannot create the temporary file '" + path_ + "': it is taken by another process";
    path_.clear();
    return false;
}

bool TPartialOutput::Commit(const TReplaceGrant& grant, std::string& error)
{
    if (fd_ < 0) {
        error = "no temporary file to complete";
        return false;
    }
    // The data must be on disk before the name says the file is complete.
    if (fsync(fd_) != 0 && errno != EINVAL && errno != EROFS) {
        error = "cannot write '" + path_ + "' to disk: " + std::strerror(errno);
        return false;
    }
    if (!PathNamesFd(path_, fd_)) {
        struct stat folder;
        const std::string folderName = FolderOf(output_).empty() ? "." : FolderOf(output_);
        if (stat(folderName.c_str(), &folder) != 0)
            error = "the output folder '" + folderName + "' was removed during the conversion";
        else
            error = "the temporary file '" + path_ + "' was removed by another process";
        return false;
    }
    int number = 1;
    const int failed = grant.Kind == TReplaceGrant::TKind::Number ? MoveIntoFreeName(path_, output_, number)
                                                                  : MoveIntoPlace(path_, output_, grant);
    if (failed) {
        if (failed == EEXIST)
            error = "'" + output_ + "' was created or replaced by another program during the conversion; "
                    "it is left as it is and this conversion is not kept";
        else
            error = "cannot rename '" + path_ + "' to '" + output_ + "': " + std::strerror(failed);
        return false;
    }
    close(fd_);
    fd_ = -1;
    path_.clear();
    committed_ = NumberedName(output_, number);
    committedNumber_ = number;
    return true;
}

void TPartialOutput::Discard()
{
    if (fd_ < 0)
        return;
    if (PathNamesFd(path_, fd_))
        unlink(path_.c_str());
    close(fd_);
    fd_ = -1;
    path_.clear();
}
