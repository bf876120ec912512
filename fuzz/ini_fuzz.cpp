// INI reader and writer on arbitrary files.
//
// Input: the file's bytes, then three NUL-separated texts: the section, key
// and value to write. With fewer than three NULs the whole input is the file
// and the first key read from it is written again with the value "1".
//
// Checks: every section and key that the reader lists is found again; values
// respect the length cap; a written value reads back as written when the
// file format can hold it exactly; other keys keep their values; and the file
// written to disk reads back exactly as the object in memory did.

#include "FuzzSupport.h"
#include "platform/IniFile.h"

#include <cstdint>
#include <utility>

namespace {

using TSnapshot = std::vector<std::pair<std::string, std::vector<std::string>>>;

bool HasLineBreak(const std::string& s) { return s.find_first_of("\r\n") != std::string::npos; }

bool Trimmed(const std::string& s) { return TrimIniBlanks(s) == s; }

// Whether a section, key and value written with WriteString read back exactly.
bool Representable(const std::string& section, const std::string& key, const std::string& value)
{
    if (HasLineBreak(section) || HasLineBreak(key) || HasLineBreak(value))
        return false;
    // "[name]" is read up to the first "]", trimmed.
    if (section.find(']') != std::string::npos || !Trimmed(section))
        return false;
    // "key=value" is cut at the first "="; a key line must not look like a
    // comment or a section header.
    const std::string k = TrimIniBlanks(key);
    if (key.find('=') != std::string::npos || (!k.empty() && (k[0] == ';' || k[0] == '#' || k[0] == '[')))
        return false;
    // Values are read trimmed, without one pair of enclosing quotes, cut to 2047 characters.
    if (!Trimmed(value) || value.size() > 2047)
        return false;
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        return false;
    return true;
}

TSnapshot Snapshot(const TIniFile& ini)
{
    TSnapshot snap;
    for (const std::string& s : ini.ReadSections())
        snap.emplace_back(s, ini.ReadSectionValues(s));
    return snap;
}

// Each lookup scans the file, so checking every key of a large file would
// make a run quadratic; a bounded number of keys is checked in full.
constexpr size_t kKeysChecked = 24;

void CheckReads(const TIniFile& ini)
{
    size_t checked = 0;
    for (const std::string& s : ini.ReadSections()) {
        qvfuzz::Check(ini.SectionExists(s), "listed section not found: [" + s + "]");
        const std::vector<std::string> keys = ini.ReadSection(s);
        qvfuzz::Check(ini.ReadSectionValues(s).size() >= keys.size(), "fewer section lines than keys in [" + s + "]");
        for (const std::string& k : keys) {
            if (++checked > kKeysChecked)
                return;
            qvfuzz::Check(ini.ValueExists(s, k), "listed key not found: [" + s + "] " + k);
            const std::string v = ini.ReadString(s, k, "");
            qvfuzz::Check(v.size() <= 2047, "value longer than the cap: " + k);
            auto n = ParseIniInteger(v);
            qvfuzz::Check(ini.ReadInteger(s, k, 12345) == (n ? *n : 12345), "integer read differs from the number rule");
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> parts = qvfuzz::SplitAtNul(bytes);
    std::string content, section, key, value;
    bool chosen = parts.size() >= 4;
    if (chosen) {
        value = parts[parts.size() - 1];
        key = parts[parts.size() - 2];
        section = parts[parts.size() - 3];
        size_t contentSize = size - value.size() - key.size() - section.size() - 3;
        content.assign(bytes.substr(0, contentSize));
    } else {
        content.assign(bytes);
    }

    const std::string path = qvfuzz::WorkDir() + "fuzz.ini";
    qvfuzz::WriteFile(path, content);
    TIniFile ini(path);
    CheckReads(ini);

    if (!chosen) {
        for (const std::string& s : ini.ReadSections()) {
            std::vector<std::string> keys = ini.ReadSection(s);
            if (!keys.empty()) {
                section = s;
                key = keys.front();
                break;
            }
        }
        if (key.empty())
            return 0;
        value = "1";
    }

    // Values of every key before the write, as the reader finds them.
    std::vector<std::pair<std::pair<std::string, std::string>, std::string>> before;
    for (const std::string& s : ini.ReadSections())
        for (const std::string& k : ini.ReadSection(s))
            if (before.size() < kKeysChecked)
                before.push_back({{s, k}, ini.ReadString(s, k, "\x01")});

    bool written = true;
    try {
        ini.WriteString(section, key, value);
    } catch (const EIniWriteError&) {
        written = false;
    }
    qvfuzz::Check(written || HasLineBreak(section) || HasLineBreak(key) || HasLineBreak(value),
                  "write refused without a line break");
    if (!written)
        return 0;
    CheckReads(ini);

    if (Representable(section, key, value)) {
        qvfuzz::Check(ini.ReadString(section, key, "\x01") == value, "written value does not read back");
        for (const auto& [name, old] : before) {
            const auto& [s, k] = name;
            if (SameTextAscii(s, section) && SameTextAscii(k, TrimIniBlanks(key)))
                continue;
            qvfuzz::Check(ini.ReadString(s, k, "\x01") == old, "a write changed another key: [" + s + "] " + k);
        }
    }

    const TSnapshot inMemory = Snapshot(ini);
    try {
        ini.UpdateFile();
    } catch (const EIniWriteError& e) {
        qvfuzz::Fail(std::string("UpdateFile failed: ") + e.what());
    }
    TIniFile reread(path);
    qvfuzz::Check(Snapshot(reread) == inMemory, "file on disk reads differently from the object that wrote it");
    qvfuzz::Check(reread.ReadString(section, key, "\x01") == ini.ReadString(section, key, "\x01"),
                  "written key reads differently after saving");
    return 0;
}
