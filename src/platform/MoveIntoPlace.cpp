#include "platform/MoveIntoPlace.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

template <class T> bool ReadDecimal(const std::string& text, size_t from, size_t to, T& value)
{
    if (from >= to)
        return false;
    auto [ptr, ec] = std::from_chars(text.data() + from, text.data() + to, value);
    return ec == std::errc() && ptr == text.data() + to;
}

} // namespace

std::string ReplaceGrantText(const TReplaceGrant& grant)
{
    switch (grant.Kind) {
    case TReplaceGrant::TKind::None:
        return "none";
    case TReplaceGrant::TKind::Any:
        return "any";
    case TReplaceGrant::TKind::Number:
        return "number";
    case TReplaceGrant::TKind::Identity:
        return std::to_string(static_cast<unsigned long long>(grant.Device)) + ":"
            + std::to_string(static_cast<unsigned long long>(grant.Inode));
    }
    return "none";
}

bool ParseReplaceGrant(const std::string& text, TReplaceGrant& grant)
{
    if (text == "none" || text == "any" || text == "number") {
        grant = text == "any" ? TReplaceGrant::Any() : text == "number" ? TReplaceGrant::Numbered() : TReplaceGrant();
        return true;
    }
    const size_t colon = text.find(':');
    unsigned long long device = 0, inode = 0;
    if (colon == std::string::npos || !ReadDecimal(text, 0, colon, device)
        || !ReadDecimal(text, colon + 1, text.size(), inode))
        return false;
    grant = TReplaceGrant::Only(static_cast<dev_t>(device), static_cast<ino_t>(inode));
    return true;
}

int LinkIntoPlace(const std::string& from, const std::string& to)
{
    if (::link(from.c_str(), to.c_str()) == 0) {
        if (::unlink(from.c_str()) == 0)
            return 0;
        const int error = errno;
        ::unlink(to.c_str());
        return error;
    }
    const int error = errno;
    if (error != EPERM && error != EOPNOTSUPP && error != ENOSYS)
        return error;
    // Neither RENAME_NOREPLACE nor hard links (some FAT and network file
    // systems): the narrow window between the check and the rename is the
    // best they allow.
    struct stat st;
    if (::lstat(to.c_str(), &st) == 0)
        return EEXIST;
    return std::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

int MoveIntoPlace(const std::string& from, const std::string& to, const TReplaceGrant& grant)
{
    struct stat st;
    if (grant.Kind != TReplaceGrant::TKind::None && ::lstat(to.c_str(), &st) == 0) {
        const bool replaceable = S_ISREG(st.st_mode) || S_ISLNK(st.st_mode);
        const bool agreed
            = grant.Kind == TReplaceGrant::TKind::Any || (st.st_dev == grant.Device && st.st_ino == grant.Inode);
        if (!replaceable || !agreed)
            return EEXIST;
        return std::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
    }
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    const int error = errno;
    // File systems without RENAME_NOREPLACE answer EINVAL; kernels without
    // renameat2 ENOSYS.
    if (error != EINVAL && error != ENOSYS && error != EOPNOTSUPP)
        return error;
    return LinkIntoPlace(from, to);
}

std::string NumberedName(const std::string& name, int number)
{
    if (number <= 1)
        return name;
    const size_t slash = name.rfind('/');
    const size_t start = slash == std::string::npos ? 0 : slash + 1;
    // The extension begins at the last dot of the file name part, not at a
    // leading one (".profile" has none).
    size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot <= start)
        dot = name.size();
    return name.substr(0, dot) + " (" + std::to_string(number) + ")" + name.substr(dot);
}

int MoveIntoFreeName(const std::string& from, const std::string& to, int& number, int maxNumber)
{
    for (int n = 1; n <= maxNumber; ++n) {
        const int failed = MoveIntoPlace(from, NumberedName(to, n), TReplaceGrant());
        if (failed == EEXIST)
            continue;
        if (failed == 0)
            number = n;
        return failed;
    }
    return EEXIST;
}
