#include "app/AppUtils.h"

#include "app/VisibleText.h"

#include "platform/PowerActions.h"
#include "platform/RegularFile.h"
#include "platform/TextRules.h"

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

// ---- Paths and names ----

std::string ExtractFileBaseName(const std::string& path)
{
    const size_t sep = path.rfind('/');
    std::string name = sep == std::string::npos ? path : path.substr(sep + 1);
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos)
        name.resize(dot);
    return name;
}

std::string AddTrailingBackslash(const std::string& path)
{
    if (!path.empty() && path.back() == '/')
        return path;
    return path + "/";
}

std::string ReplaceFileName(const std::string& path, const std::string& newName)
{
    const std::string name = FileNamePart(path);
    return path.substr(0, path.size() - name.size()) + newName + FileExtension(name);
}

bool ValidFileName(const std::string& name)
{
    // Control characters and bytes that are no UTF-8 would make a name that
    // cannot be shown, typed again or told apart from another.
    return !name.empty() && name.find_first_of("\\/:*?\"<>|") == std::string::npos && qvtext::IsVisibleText(name);
}

int64_t FileSizeOf(const std::string& path)
{
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0)
        return -1;
    // A folder is found too, but has no size of its own.
    return S_ISDIR(st.st_mode) ? 0 : static_cast<int64_t>(st.st_size);
}

bool DeleteIfEmpty(const std::string& path)
{
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size != 0)
        return false;
    return ::unlink(path.c_str()) == 0;
}

// ---- Special folders ----

namespace {

std::string EnvText(const char* name)
{
    const char* v = std::getenv(name);
    return v ? std::string(v) : std::string();
}

// XDG_DOCUMENTS_DIR from a user-dirs.dirs file: a shell assignment whose value
// is "$HOME/…" or an absolute path, in double quotes. Only a regular file of
// at most 1 MiB is read.
std::string DocumentsFromUserDirs(const std::string& fileName, const std::string& home)
{
    std::istringstream in(ReadRegularFile(fileName, IniFileSizeLimit).Content);
    std::string line, found;
    while (std::getline(in, line)) {
        size_t b = line.find_first_not_of(" \t");
        if (b == std::string::npos || line[b] == '#')
            continue;
        const std::string prefix = "XDG_DOCUMENTS_DIR=";
        if (line.compare(b, prefix.size(), prefix) != 0)
            continue;
        std::string value = line.substr(b + prefix.size());
        while (!value.empty() && (value.back() == ' ' || value.back() == '\t' || value.back() == '\r'))
            value.pop_back();
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
            value = value.substr(1, value.size() - 2);
        if (value.rfind("$HOME", 0) == 0) {
            if (home.empty())
                continue;
            value = home + value.substr(5);
        }
        if (!value.empty() && value.front() == '/')
            found = value; // the last assignment wins, as in the shell
    }
    return found;
}

} // namespace

std::string GetSpecialFolder(const std::string& name)
{
    if (name != "Personal")
        return {};
    std::string documents = EnvText("XDG_DOCUMENTS_DIR");
    if (!documents.empty())
        return documents;
    const std::string home = EnvText("HOME");
    std::string configHome = EnvText("XDG_CONFIG_HOME");
    if (configHome.empty() && !home.empty())
        configHome = home + "/.config";
    if (!configHome.empty()) {
        documents = DocumentsFromUserDirs(configHome + "/user-dirs.dirs", home);
        if (!documents.empty())
            return documents;
    }
    return home;
}

// ---- Time texts ----

std::string MsToTimeText(int64_t ms)
{
    if (ms < 0) {
        // Only reachable through wrapped sums; keep the text readable.
        const uint64_t magnitude = 0 - static_cast<uint64_t>(ms);
        if (magnitude > static_cast<uint64_t>(INT64_MAX))
            return "-" + MsToTimeText(INT64_MAX);
        return "-" + MsToTimeText(static_cast<int64_t>(magnitude));
    }
    const int64_t seconds = ms / 1000;
    const int64_t hours = seconds / 3600;
    const int minutes = static_cast<int>((seconds % 3600) / 60);
    const int secs = static_cast<int>(seconds % 60);
    const int millis = static_cast<int>(ms % 1000);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%lld:%02d:%02d.%03d", static_cast<long long>(hours), minutes, secs, millis);
    return buf;
}

namespace {

// One part of a time text as a whole decimal number; empty or out of the
// 32-bit range counts as 0.
uint32_t TimePart(const std::string& part)
{
    int32_t value = 0;
    auto [ptr, ec] = std::from_chars(part.data(), part.data() + part.size(), value);
    if (ec != std::errc() || ptr != part.data() + part.size())
        return 0;
    return static_cast<uint32_t>(value);
}

bool AllOf(const std::string& text, const char* allowed)
{
    if (text.empty())
        return false;
    for (char c : text)
        if (!(c >= '0' && c <= '9') && std::strchr(allowed, c) == nullptr)
            return false;
    return true;
}

size_t CountOf(const std::string& text, char c)
{
    size_t n = 0;
    for (char ch : text)
        n += ch == c;
    return n;
}

// Splits at every occurrence of any of the separators.
std::vector<std::string> SplitParts(const std::string& text, const char* separators)
{
    std::vector<std::string> parts(1);
    for (char c : text) {
        if (std::strchr(separators, c))
            parts.emplace_back();
        else
            parts.back() += c;
    }
    return parts;
}

} // namespace

int64_t TimeTextToMs(const std::string& text)
{
    const size_t colons = CountOf(text, ':');
    const size_t dots = CountOf(text, '.');
    const size_t lastColon = text.rfind(':');
    const size_t dot = text.find('.');
    const bool dotAfterColons = dots == 1 && (colons == 0 || dot > lastColon);

    // Parts in order hours, minutes, seconds, fraction; weights in ms. The sum
    // wraps like a 32-bit signed register.
    auto sum = [](const std::vector<std::string>& parts, std::initializer_list<uint32_t> weights) {
        uint32_t total = 0;
        size_t i = 0;
        for (uint32_t w : weights)
            total += TimePart(parts[i++]) * w;
        return static_cast<int64_t>(static_cast<int32_t>(total));
    };

    if (AllOf(text, ":.") && colons == 2 && dotAfterColons)
        return sum(SplitParts(text, ":."), {3600000u, 60000u, 1000u, 1u});
    if (AllOf(text, ":.") && colons == 1 && dotAfterColons)
        return sum(SplitParts(text, ":."), {60000u, 1000u, 1u});
    if (AllOf(text, ".") && dots == 1)
        return sum(SplitParts(text, "."), {1000u, 1u});
    if (AllOf(text, ""))
        return sum({text}, {1000u});
    if (AllOf(text, ":") && colons == 1)
        return sum(SplitParts(text, ":"), {60000u, 1000u});
    if (AllOf(text, ":") && colons == 2)
        return sum(SplitParts(text, ":"), {3600000u, 60000u, 1000u});
    return -1;
}

// ---- After-batch power actions ----

bool SetPrivilege(const std::string& name, bool enable)
{
    return PowerActions().SetPrivilege(name, enable);
}

namespace {

// A refusal as the user reads it: logind's one-word answer quoted, or why
// logind could not be asked.
std::string RefusalText(const std::string& answer)
{
    if (answer.empty() || answer.find(' ') == std::string::npos)
        return "logind answers \"" + answer + "\"";
    return answer;
}

} // namespace

std::string PerformShutdownAction(int action)
{
    // Closing the program needs no permission of the system: "Close Quorvex
    // when done" must work where logind refuses or is missing.
    TPowerActions& p = PowerActions();
    if (action == 0)
        return p.EndProgram();
    const std::string privilege = "SeShutdownPrivilege";
    if (!SetPrivilege(privilege, true)) {
        if (action < 1 || action > 5)
            return {};
        const std::string answer = p.CanPerform(action);
        return PowerActionOffered(answer) ? "not allowed" : RefusalText(answer);
    }
    std::string failure;
    switch (action) {
    case 1: failure = p.PowerOff(); break;
    case 2: failure = p.LogOff(); break;
    case 3: failure = p.Reboot(); break;
    case 4: failure = p.Hibernate(); break;
    case 5: failure = p.Suspend(); break;
    default: break;
    }
    SetPrivilege(privilege, false);
    return failure;
}

std::string ShutdownActionRefusal(int action)
{
    if (action == 0 || action == 2)
        return {}; // no question of the system: always offered
    const std::string answer = PowerActions().CanPerform(action);
    return PowerActionOffered(answer) ? std::string() : RefusalText(answer);
}

std::string TrimText(const std::string& text)
{
    size_t b = 0, e = text.size();
    while (b < e && static_cast<unsigned char>(text[b]) <= ' ')
        ++b;
    while (e > b && static_cast<unsigned char>(text[e - 1]) <= ' ')
        --e;
    return text.substr(b, e - b);
}
