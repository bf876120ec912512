#include "platform/FolderProbe.h"

#include "platform/RegularFile.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

int ProbeWritableFolder(const std::string& folder)
{
    std::string name = folder;
    if (name.empty() || name.back() != '/')
        name += '/';
    name += ".quorvex-probe-XXXXXX";
    std::vector<char> path(name.begin(), name.end());
    path.push_back('\0');
    // mkostemp opens with O_CREAT | O_EXCL under a name nobody else holds.
    const int fd = mkostemp(path.data(), O_CLOEXEC);
    if (fd < 0)
        return errno;
    int failure = 0;
    // Creating an empty file takes no space; one byte finds a full disk or quota.
    const char byte = 0;
    if (!WriteAll(fd, &byte, 1))
        failure = errno;
    if (close(fd) != 0 && failure == 0 && errno != EINTR)
        failure = errno;
    unlink(path.data());
    return failure;
}
