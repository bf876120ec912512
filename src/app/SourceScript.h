#pragma once

// The one rule by which a DirectShow script names its source, shared by the
// program that writes scripts and the encoder that reads them, so that both
// always agree on the file a script stands for.
//
// The source is named in the first line (lines end at LF, a CR before it is
// dropped) that contains 'Source("': the name runs from there to the next
// '"'. A name therefore cannot hold '"' and cannot hold a line break; such a
// name cannot be written into a script at all. Header only: the encoder
// program links none of the program's libraries.

#include <string>
#include <string_view>

namespace qvscript {

inline constexpr std::string_view SourceMarker = "Source(\"";

// True when Name can stand in a script without changing what the script
// names: not empty, and no '"' and no control character (CR and LF among
// them) in it.
inline bool CanNameInScript(std::string_view name)
{
    if (name.empty())
        return false;
    for (char c : name) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || u < 0x20 || u == 0x7F)
            return false;
    }
    return true;
}

// The source that the script text names. False with a reason when no line
// names one.
inline bool ScriptSource(std::string_view text, std::string& source, std::string& error)
{
    size_t from = 0;
    while (from <= text.size()) {
        size_t nl = text.find('\n', from);
        std::string_view line = text.substr(from, nl == std::string_view::npos ? std::string_view::npos : nl - from);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        const size_t marker = line.find(SourceMarker);
        if (marker != std::string_view::npos) {
            const size_t begin = marker + SourceMarker.size();
            const size_t end = line.find('"', begin);
            if (end == std::string_view::npos) {
                error = "the source line has no closing '\"'";
                return false;
            }
            if (end == begin) {
                error = "the script names no source file";
                return false;
            }
            source.assign(line.substr(begin, end - begin));
            return true;
        }
        if (nl == std::string_view::npos)
            break;
        from = nl + 1;
    }
    error = "the script names no source file";
    return false;
}

} // namespace qvscript
