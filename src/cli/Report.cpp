#include "cli/Report.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "cli/Terminal.h"

namespace qvcli {

namespace {

// Quotes text that holds no byte that is no UTF-8.
std::string JsonQuote(const std::string& text)
{
    std::string out = "\"";
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\t': out += "\\t"; break;
        case '\r': out += "\\r"; break;
        default:
            if (c < 0x20 || c == 0x7F) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04X", c);
                out += buf;
            } else {
                out += ch;
            }
        }
    }
    return out + "\"";
}

} // namespace

std::string JsonName(const std::string& name)
{
    return JsonQuote(TerminalName(name));
}

std::string JsonText(const std::string& text)
{
    return JsonQuote(ConsoleText(text));
}

std::string ReportLine(const TReportRecord& r)
{
    std::string line = "{\"source\":" + JsonName(r.Source) + ",\"output\":" + JsonName(r.Output) +
                       ",\"status\":" + JsonQuote(r.Status) + ",\"reason\":" + JsonText(r.Reason) + ",\"seconds\":";
    if (r.Seconds < 0 || !std::isfinite(r.Seconds)) {
        line += "null";
    } else {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%.3f", r.Seconds);
        line += buf;
    }
    line += ",\"notes\":[";
    for (size_t i = 0; i < r.Notes.size(); ++i)
        line += (i ? "," : "") + JsonText(r.Notes[i]);
    line += "],\"host\":" + JsonName(r.Host);
    if (!r.Shard.empty())
        line += ",\"shard\":" + JsonQuote(r.Shard);
    for (const auto& [name, value] : r.Figures)
        line += "," + JsonQuote(name) + ":" + value;
    return line + "}\n";
}

TReportFile::~TReportFile()
{
    if (fd_ >= 0)
        close(fd_);
}

bool TReportFile::Open(const std::string& path, std::string& error)
{
    path_ = path;
    // Not blocking: a named pipe without a reader would hold the run here.
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
    if (fd < 0) {
        error = "cannot open the report file \"" + TerminalName(path) + "\": " + std::strerror(errno);
        return false;
    }
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        error = "the report file \"" + TerminalName(path) + "\" is no regular file";
        return false;
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    fd_ = fd;
    return true;
}

bool TReportFile::Append(const std::string& text, std::string& error)
{
    if (fd_ < 0) {
        error = "the report file is not open";
        return false;
    }
    int rc;
    while ((rc = flock(fd_, LOCK_EX)) != 0 && errno == EINTR) {
    }
    if (rc != 0) {
        error = "cannot lock the report file \"" + TerminalName(path_) + "\": " + std::strerror(errno);
        return false;
    }
    // O_APPEND puts each write at the end; over NFS the client finds the end
    // itself, which the lock makes right (it reads the file's size anew when
    // the lock is taken).
    bool ok = lseek(fd_, 0, SEEK_END) >= 0;
    for (size_t done = 0; ok && done < text.size();) {
        const ssize_t n = write(fd_, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ok = false;
            break;
        }
        done += static_cast<size_t>(n);
    }
    // Out of the client's cache before another host may append.
    if (ok && fdatasync(fd_) != 0 && errno != EINVAL && errno != EROFS)
        ok = false;
    const int failure = errno;
    flock(fd_, LOCK_UN);
    if (!ok) {
        error = "cannot write the report file \"" + TerminalName(path_) + "\": " + std::strerror(failure);
        return false;
    }
    return true;
}

std::string HostName()
{
    char name[HOST_NAME_MAX + 1] = {};
    if (gethostname(name, sizeof name - 1) != 0)
        return {};
    return name;
}

} // namespace qvcli
