#pragma once

// INI files with the private-profile rules that every settings, language and
// profile file of the program follows:
//  - section and key names match without regard to ASCII letter case;
//  - a value is read with surrounding blanks removed, then one pair of
//    enclosing single or double quotes removed, and cut to 2047 characters;
//  - numbers are decimal, or hexadecimal after "0x"/"0X"; anything else, a
//    missing key or a missing file gives the caller's fallback;
//  - writing replaces a key in place and keeps every other line of the file
//    (keys, sections, comments, blank lines) as it was;
//  - CRLF and LF files are read alike; text is UTF-8 bytes passed through.
//
// Writes are collected in memory and reach the disk with UpdateFile(), which
// replaces the file in one step (a new file is written next to it, then
// renamed over it), so a failing write never leaves half a file behind.

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "platform/TextRules.h" // SameTextAscii, the comparison of section and key names

// Raised when an INI file cannot be written; the message is
// "Unable to write to <file name>".
class EIniWriteError : public std::runtime_error {
public:
    explicit EIniWriteError(const std::string& fileName);
};

// The number rule of the INI files: optional sign, then decimal digits or
// "0x"/"0X" and hexadecimal digits, after trimming blanks. The result must
// fit 32 bits (hexadecimal values up to 0xFFFFFFFF wrap to negative numbers,
// as a 32-bit register would hold them); otherwise std::nullopt.
std::optional<int32_t> ParseIniInteger(const std::string& text);

// The text without blanks (spaces and tabs) at either end, as names and
// values are read.
std::string TrimIniBlanks(const std::string& text);

class TIniFile {
public:
    // Reads the file when it exists; a missing or unreadable file reads as
    // empty. Only a regular file (also through a link) of at most 1 MiB is
    // read; anything else under the name reads as empty, is reported by
    // Problem() and is never replaced by UpdateFile(). Nothing is created on
    // disk until UpdateFile().
    explicit TIniFile(std::string fileName);

    const std::string& FileName() const { return fileName_; }
    // Why an existing file was not read ("it is not a regular file (a named
    // pipe)", "it is larger than 1 MiB", a system error text); empty when it
    // was read or is missing.
    const std::string& Problem() const { return problem_; }

    std::string ReadString(const std::string& section, const std::string& key, const std::string& fallback) const;
    int32_t ReadInteger(const std::string& section, const std::string& key, int32_t fallback) const;
    // Read as a number with fallback 0 or 1; any non-zero number is true.
    bool ReadBool(const std::string& section, const std::string& key, bool fallback) const;

    bool SectionExists(const std::string& section) const;
    bool ValueExists(const std::string& section, const std::string& key) const;
    // Key names of a section, in file order.
    std::vector<std::string> ReadSection(const std::string& section) const;
    // The lines of a section as "name=value" texts (name and value trimmed),
    // in file order; blank lines and comment lines (";" or "#") are skipped.
    std::vector<std::string> ReadSectionValues(const std::string& section) const;
    // All section names in file order.
    std::vector<std::string> ReadSections() const;

    // Throws EIniWriteError when a name or the value holds a line break.
    void WriteString(const std::string& section, const std::string& key, const std::string& value);
    void WriteInteger(const std::string& section, const std::string& key, int32_t value);
    // Written as "1" or "0".
    void WriteBool(const std::string& section, const std::string& key, bool value);

    // True when writes are waiting for UpdateFile().
    bool Modified() const { return modified_; }
    // Writes the collected changes to disk. Throws EIniWriteError when the
    // file cannot be written (missing folder, read-only file, disk full);
    // the file on disk then stays as it was.
    void UpdateFile();

private:
    struct Line {
        std::string text; // the line as in the file, without its line break
    };
    std::optional<size_t> FindSection(const std::string& section) const;
    // The line after the last line of the section whose header is at SectionLine.
    size_t SectionEnd(size_t sectionLine) const;
    std::optional<size_t> FindKey(size_t sectionLine, const std::string& key) const;
    std::optional<std::string> RawValue(const std::string& section, const std::string& key) const;

    std::string fileName_;
    std::vector<Line> lines_;
    std::string eol_ = "\n";
    bool modified_ = false;
    bool bom_ = false;        // the file began with a UTF-8 byte order mark
    bool unreadable_ = false; // the file exists but could not be read
    std::string problem_;     // why, for Problem()
};
