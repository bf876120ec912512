#include "platform/IniFile.h"

#include "platform/RegularFile.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

std::string TrimIniBlanks(const std::string& text)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    size_t b = 0, e = text.size();
    while (b < e && blank(text[b]))
        ++b;
    while (e > b && blank(text[e - 1]))
        --e;
    return text.substr(b, e - b);
}

namespace {

constexpr size_t kMaxValueLength = 2047;
const char* const kUtf8Bom = "\xEF\xBB\xBF";

bool HasLineBreak(const std::string& s) { return s.find_first_of("\r\n") != std::string::npos; }

// Section name of a header line "[name]", or nullopt for other lines.
std::optional<std::string> SectionName(const std::string& line)
{
    std::string t = TrimIniBlanks(line);
    if (t.empty() || t.front() != '[')
        return std::nullopt;
    size_t close = t.find(']');
    if (close == std::string::npos)
        return std::nullopt;
    return TrimIniBlanks(t.substr(1, close - 1));
}

bool IsComment(const std::string& trimmed) { return !trimmed.empty() && (trimmed[0] == ';' || trimmed[0] == '#'); }

// Key of a "key=value" line, or nullopt when the line has none.
std::optional<std::string> KeyName(const std::string& line)
{
    std::string t = TrimIniBlanks(line);
    if (t.empty() || IsComment(t) || t.front() == '[')
        return std::nullopt;
    size_t eq = line.find('=');
    if (eq == std::string::npos)
        return std::nullopt;
    return TrimIniBlanks(line.substr(0, eq));
}

} // namespace

EIniWriteError::EIniWriteError(const std::string& fileName)
    : std::runtime_error("Unable to write to " + fileName)
{
}

std::optional<int32_t> ParseIniInteger(const std::string& text)
{
    std::string t = TrimIniBlanks(text);
    if (t.empty())
        return std::nullopt;
    bool negative = false;
    size_t pos = 0;
    if (t[0] == '+' || t[0] == '-') {
        negative = t[0] == '-';
        pos = 1;
    }
    int base = 10;
    if (t.size() - pos > 2 && t[pos] == '0' && (t[pos + 1] == 'x' || t[pos + 1] == 'X')) {
        base = 16;
        pos += 2;
    }
    if (pos >= t.size())
        return std::nullopt;
    uint64_t magnitude = 0;
    const char* first = t.data() + pos;
    const char* last = t.data() + t.size();
    auto [ptr, ec] = std::from_chars(first, last, magnitude, base);
    if (ec != std::errc() || ptr != last)
        return std::nullopt;
    if (base == 16) {
        if (magnitude > 0xFFFFFFFFull)
            return std::nullopt;
        uint32_t bits = static_cast<uint32_t>(magnitude);
        if (negative)
            bits = ~bits + 1u;
        return static_cast<int32_t>(bits);
    }
    if (negative) {
        if (magnitude > 2147483648ull)
            return std::nullopt;
        return static_cast<int32_t>(-static_cast<int64_t>(magnitude));
    }
    if (magnitude > 2147483647ull)
        return std::nullopt;
    return static_cast<int32_t>(magnitude);
}

TIniFile::TIniFile(std::string fileName)
    : fileName_(std::move(fileName))
{
    TFileRead file = ReadRegularFile(fileName_, IniFileSizeLimit);
    if (file.Status != TFileReadStatus::Ok) {
        // Anything under the name that is not read (a named pipe, a device, a
        // huge or unreadable file) must not be replaced by the few keys
        // written afterwards.
        unreadable_ = file.Status != TFileReadStatus::Missing;
        problem_ = file.Problem;
        return;
    }
    const std::string& content = file.Content;
    size_t start = 0;
    // A UTF-8 byte order mark (left by some editors) is kept but not read as
    // part of the first line.
    if (content.compare(0, 3, kUtf8Bom) == 0) {
        bom_ = true;
        start = 3;
    }
    bool sawCrLf = false, sawLf = false;
    while (start < content.size()) {
        size_t nl = content.find('\n', start);
        std::string line;
        if (nl == std::string::npos) {
            line = content.substr(start);
            start = content.size();
        } else {
            line = content.substr(start, nl - start);
            start = nl + 1;
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
                sawCrLf = true;
            } else {
                sawLf = true;
            }
        }
        // Carriage returns at the end of a line belong to its break: kept in
        // the text, they would turn into part of the break when the file is
        // written back with LF breaks, and a number "1\r" would not read.
        while (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines_.push_back({std::move(line)});
    }
    if (sawCrLf && !sawLf)
        eol_ = "\r\n";
}

std::optional<size_t> TIniFile::FindSection(const std::string& section) const
{
    for (size_t i = 0; i < lines_.size(); ++i) {
        auto name = SectionName(lines_[i].text);
        if (name && SameTextAscii(*name, section))
            return i;
    }
    return std::nullopt;
}

size_t TIniFile::SectionEnd(size_t sectionLine) const
{
    size_t i = sectionLine + 1;
    while (i < lines_.size() && !SectionName(lines_[i].text))
        ++i;
    return i;
}

std::optional<size_t> TIniFile::FindKey(size_t sectionLine, const std::string& key) const
{
    // Key names in the file are read trimmed, so the asked name is trimmed too:
    // a key written as "NAME " is found again under the same name.
    const std::string wanted = TrimIniBlanks(key);
    for (size_t i = sectionLine + 1, end = SectionEnd(sectionLine); i < end; ++i) {
        auto k = KeyName(lines_[i].text);
        if (k && SameTextAscii(*k, wanted))
            return i;
    }
    return std::nullopt;
}

std::optional<std::string> TIniFile::RawValue(const std::string& section, const std::string& key) const
{
    auto s = FindSection(section);
    if (!s)
        return std::nullopt;
    auto k = FindKey(*s, key);
    if (!k)
        return std::nullopt;
    const std::string& line = lines_[*k].text;
    std::string value = TrimIniBlanks(line.substr(line.find('=') + 1));
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    if (value.size() > kMaxValueLength)
        value.resize(kMaxValueLength);
    return value;
}

std::string TIniFile::ReadString(const std::string& section, const std::string& key, const std::string& fallback) const
{
    auto v = RawValue(section, key);
    return v ? *v : fallback;
}

int32_t TIniFile::ReadInteger(const std::string& section, const std::string& key, int32_t fallback) const
{
    auto v = RawValue(section, key);
    if (!v)
        return fallback;
    auto n = ParseIniInteger(*v);
    return n ? *n : fallback;
}

bool TIniFile::ReadBool(const std::string& section, const std::string& key, bool fallback) const
{
    return ReadInteger(section, key, fallback ? 1 : 0) != 0;
}

bool TIniFile::SectionExists(const std::string& section) const { return FindSection(section).has_value(); }

bool TIniFile::ValueExists(const std::string& section, const std::string& key) const
{
    auto s = FindSection(section);
    return s && FindKey(*s, key);
}

std::vector<std::string> TIniFile::ReadSection(const std::string& section) const
{
    std::vector<std::string> keys;
    auto s = FindSection(section);
    if (!s)
        return keys;
    for (size_t i = *s + 1, end = SectionEnd(*s); i < end; ++i) {
        if (auto k = KeyName(lines_[i].text))
            keys.push_back(*k);
    }
    return keys;
}

std::vector<std::string> TIniFile::ReadSectionValues(const std::string& section) const
{
    std::vector<std::string> result;
    auto s = FindSection(section);
    if (!s)
        return result;
    for (size_t i = *s + 1, end = SectionEnd(*s); i < end; ++i) {
        const std::string& line = lines_[i].text;
        std::string t = TrimIniBlanks(line);
        if (t.empty() || IsComment(t))
            continue;
        size_t eq = line.find('=');
        if (eq == std::string::npos)
            result.push_back(t);
        else
            result.push_back(TrimIniBlanks(line.substr(0, eq)) + "=" + TrimIniBlanks(line.substr(eq + 1)));
    }
    return result;
}

std::vector<std::string> TIniFile::ReadSections() const
{
    std::vector<std::string> names;
    for (const auto& l : lines_)
        if (auto n = SectionName(l.text))
            names.push_back(*n);
    return names;
}

void TIniFile::WriteString(const std::string& section, const std::string& key, const std::string& value)
{
    // A line break would end the line early and let the rest of the text
    // stand as keys or sections of its own.
    if (HasLineBreak(section) || HasLineBreak(key) || HasLineBreak(value))
        throw EIniWriteError(fileName_);
    const std::string newLine = key + "=" + value;
    modified_ = true;
    auto s = FindSection(section);
    if (!s) {
        lines_.push_back({"[" + section + "]"});
        lines_.push_back({newLine});
        return;
    }
    if (auto k = FindKey(*s, key)) {
        lines_[*k].text = newLine;
        return;
    }
    // Append after the section's last non-blank line.
    size_t insertAt = *s + 1;
    for (size_t i = *s + 1, end = SectionEnd(*s); i < end; ++i) {
        if (!TrimIniBlanks(lines_[i].text).empty())
            insertAt = i + 1;
    }
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(insertAt), Line{newLine});
}

void TIniFile::WriteInteger(const std::string& section, const std::string& key, int32_t value)
{
    WriteString(section, key, std::to_string(value));
}

void TIniFile::WriteBool(const std::string& section, const std::string& key, bool value)
{
    WriteString(section, key, value ? "1" : "0");
}

void TIniFile::UpdateFile()
{
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path target(fileName_);
    // Write through a symbolic link to the file it names.
    if (fs::is_symlink(target, ec)) {
        fs::path resolved = fs::canonical(target, ec);
        if (!ec)
            target = resolved;
    }
    if (unreadable_)
        throw EIniWriteError(fileName_);
    mode_t mode = 0644;
    struct stat st {};
    if (::stat(target.c_str(), &st) == 0) {
        // A file without any write permission is read-only for us, whoever we run as.
        if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 || !S_ISREG(st.st_mode))
            throw EIniWriteError(fileName_);
        mode = st.st_mode & 07777;
    }

    std::string content = bom_ ? kUtf8Bom : "";
    for (const auto& l : lines_) {
        content += l.text;
        content += eol_;
    }

    fs::path dir = target.parent_path();
    std::string tmpl = (dir.empty() ? fs::path(".") : dir).string() + "/." + target.filename().string() + ".XXXXXX";
    int fd = ::mkostemp(tmpl.data(), O_CLOEXEC);
    if (fd < 0)
        throw EIniWriteError(fileName_);
    bool ok = WriteAll(fd, content.data(), content.size());
    if (ok && ::fchmod(fd, mode) != 0)
        ok = false;
    if (ok && ::fsync(fd) != 0)
        ok = false;
    if (::close(fd) != 0)
        ok = false;
    if (ok && ::rename(tmpl.c_str(), target.c_str()) != 0)
        ok = false;
    if (!ok) {
        ::unlink(tmpl.c_str());
        throw EIniWriteError(fileName_);
    }
    modified_ = false;
}
