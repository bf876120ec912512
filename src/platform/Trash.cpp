#include "platform/Trash.h"

#include "platform/MoveIntoPlace.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string SystemText(int error) { return std::strerror(error); }

std::string ParentOf(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

std::string JoinPath(const std::string& folder, const std::string& name)
{
    return folder == "/" ? "/" + name : folder + "/" + name;
}

std::string HomeFolder()
{
    if (const char* home = std::getenv("HOME"); home && *home)
        return home;
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir)
        return pw->pw_dir;
    return {};
}

// $XDG_DATA_HOME when it is an absolute path, else ~/.local/share.
std::string DataHome()
{
    if (const char* data = std::getenv("XDG_DATA_HOME"); data && data[0] == '/')
        return data;
    const std::string home = HomeFolder();
    return home.empty() ? std::string() : home + "/.local/share";
}

// The device of Path, or of its nearest existing parent folder when it is
// not there yet (the folder that would be made in it lies on that device).
bool DeviceOf(std::string path, dev_t& device)
{
    struct stat st {};
    while (::stat(path.c_str(), &st) != 0) {
        // A missing folder, or a file where a folder should be: the
        // trash would be made (or refused) on the parent's device.
        if ((errno != ENOENT && errno != ENOTDIR) || path == "/" || path.empty())
            return false;
        path = ParentOf(path);
    }
    device = st.st_dev;
    return true;
}

// Makes Path and its missing parents with mode 0700; true when Path is a
// folder afterwards.
bool MakeFolders(const std::string& path, std::string& problem)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode))
            return true;
        problem = "'" + path + "' is no folder";
        return false;
    }
    if (path != "/" && !MakeFolders(ParentOf(path), problem))
        return false;
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
        problem = "cannot make '" + path + "': " + SystemText(errno);
        return false;
    }
    if (::stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        problem = "'" + path + "' is no folder";
        return false;
    }
    return true;
}

// A trash folder of this user: a real folder (no link) owned by the user.
bool OwnTrashFolder(const std::string& path, std::string& problem)
{
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
        problem = "cannot make '" + path + "': " + SystemText(errno);
        return false;
    }
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid()) {
        problem = "'" + path + "' is no folder of this user";
        return false;
    }
    return true;
}

// The top folder of the file system that holds Folder (a real path).
std::string MountTop(std::string folder, dev_t device)
{
    while (folder != "/") {
        const std::string parent = ParentOf(folder);
        struct stat st {};
        if (::stat(parent.c_str(), &st) != 0 || st.st_dev != device)
            break;
        folder = parent;
    }
    return folder;
}

std::string LocalTimeText()
{
    const std::time_t now = std::time(nullptr);
    std::tm local {};
    ::localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
    return text;
}

// The Nth name for a file called Name in the trash: "song.ogg", then
// "song.2.ogg", "song.3.ogg"..., short enough that the info file's name
// (with ".trashinfo") stays within NAME_MAX; a cut never splits a UTF-8
// character.
std::string TrashName(const std::string& name, int n)
{
    const size_t dot = name.find_last_of('.');
    const bool hasExtension = dot != std::string::npos && dot > 0;
    std::string stem = hasExtension ? name.substr(0, dot) : name;
    const std::string extension = hasExtension ? name.substr(dot) : std::string();
    const std::string number = n > 1 ? "." + std::to_string(n) : std::string();
    const size_t room = NAME_MAX - std::strlen(".trashinfo");
    const size_t tail = number.size() + extension.size();
    if (stem.size() + tail > room) {
        size_t keep = room > tail ? room - tail : 1;
        while (keep > 1 && (static_cast<unsigned char>(stem[keep]) & 0xC0) == 0x80)
            --keep;
        stem.resize(keep);
    }
    return stem + number + extension;
}

bool WriteWhole(int fd, const std::string& text)
{
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

// The trash folder for a file on Device whose real parent folder is Folder,
// made where missing, and the folder its "Path=" is relative to ("" for an
// absolute one).
bool ChooseTrash(const std::string& folder, dev_t device, std::string& trash, std::string& relativeTo,
                 std::string& problem)
{
    const std::string dataHome = DataHome();
    dev_t homeDevice = 0;
    if (!dataHome.empty() && DeviceOf(dataHome + "/Trash", homeDevice) && homeDevice == device) {
        trash = dataHome + "/Trash";
        relativeTo.clear();
        if (!MakeFolders(trash, problem))
            return false;
        struct stat st {};
        if (::stat(trash.c_str(), &st) != 0 || st.st_dev != device) {
            problem = "the home trash '" + trash + "' lies on another file system";
            return false;
        }
        return true;
    }
    const std::string top = MountTop(folder, device);
    relativeTo = top;
    const std::string uid = std::to_string(::getuid());
    // The administrator's shared trash counts only as a real folder with the
    // sticky bit; anything else there is passed over.
    const std::string shared = JoinPath(top, ".Trash");
    struct stat st {};
    std::string sharedProblem;
    if (::lstat(shared.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && (st.st_mode & S_ISVTX)
        && OwnTrashFolder(JoinPath(shared, uid), sharedProblem)) {
        trash = JoinPath(shared, uid);
        return true;
    }
    trash = JoinPath(top, ".Trash-" + uid);
    if (!OwnTrashFolder(trash, problem))
        return false;
    if (::stat(trash.c_str(), &st) != 0 || st.st_dev != device) {
        problem = "'" + trash + "' lies on another file system";
        return false;
    }
    return true;
}

} // namespace

std::string TrashPathEncode(const std::string& path)
{
    static const char Hex[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : path) {
        const unsigned char u = static_cast<unsigned char>(c);
        if ((u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') || std::strchr("-_.~/", c)) {
            out += c;
        } else {
            out += '%';
            out += Hex[u >> 4];
            out += Hex[u & 15];
        }
    }
    return out;
}

TTrashResult MoveToTrash(const std::string& path)
{
    TTrashResult result;
    struct stat st {};
    if (path.empty() || ::lstat(path.c_str(), &st) != 0) {
        result.Problem = "'" + path + "': " + SystemText(path.empty() ? ENOENT : errno);
        return result;
    }
    const std::string name = path.substr(path.find_last_of('/') + 1);
    if (name.empty() || name == "." || name == "..") {
        result.Problem = "'" + path + "' names no file";
        return result;
    }
    char* real = ::realpath(ParentOf(path).c_str(), nullptr);
    if (!real) {
        result.Problem = "'" + ParentOf(path) + "': " + SystemText(errno);
        return result;
    }
    const std::string folder = real;
    std::free(real);
    const std::string original = JoinPath(folder, name);

    std::string trash, relativeTo;
    if (!ChooseTrash(folder, st.st_dev, trash, relativeTo, result.Problem))
        return result;
    const std::string files = trash + "/files", info = trash + "/info";
    if (!MakeFolders(files, result.Problem) || !MakeFolders(info, result.Problem))
        return result;
    std::string shownPath = original;
    if (!relativeTo.empty() && relativeTo != "/")
        shownPath = original.substr(relativeTo.size() + 1);
    else if (relativeTo == "/")
        shownPath = original.substr(1);
    const std::string infoText = "[Trash Info]\nPath=" + TrashPathEncode(shownPath) + "\nDeletionDate="
                                 + LocalTimeText() + "\n";

    for (int n = 1; n < 10000; ++n) {
        const std::string trashName = TrashName(name, n);
        const std::string infoFile = info + "/" + trashName + ".trashinfo";
        const int fd = ::open(infoFile.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            result.Problem = "cannot write '" + infoFile + "': " + SystemText(errno);
            return result;
        }
        const bool written = WriteWhole(fd, infoText) && ::fsync(fd) == 0;
        const int writeError = errno;
        ::close(fd);
        if (!written) {
            ::unlink(infoFile.c_str());
            result.Problem = "cannot write '" + infoFile + "': " + SystemText(writeError);
            return result;
        }
        const std::string target = files + "/" + trashName;
        const int moveError = MoveIntoPlace(path, target, TReplaceGrant());
        if (moveError == EEXIST) {
            // A file without its info file holds the name: take the next.
            ::unlink(infoFile.c_str());
            continue;
        }
        if (moveError != 0) {
            ::unlink(infoFile.c_str());
            result.Problem = "cannot move it into '" + files + "': " + SystemText(moveError);
            return result;
        }
        result.Moved = true;
        result.TrashedFile = target;
        result.InfoFile = infoFile;
        return result;
    }
    result.Problem = "no free name in '" + files + "'";
    return result;
}
