#pragma once

// File names are data: written into a console line they must never start a
// line of their own or move a terminal's cursor. VisibleText writes every
// control character (C0, DEL and the C1 range U+0080..U+009F) and every byte
// that is not part of valid UTF-8 as a visible escape: "\n", "\r", "\t" and
// "\xHH" for the others (each byte of a C1 character on its own). Everything
// else, backslashes included, stays as it is. Header only: the encoder
// program links none of the program's libraries.

#include <string>
#include <string_view>

namespace qvtext {

// Length of the valid UTF-8 sequence at Text[i] (1 to 4), or 0 when the byte
// there does not begin one.
inline size_t Utf8SequenceLength(std::string_view text, size_t i)
{
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char b = byte(i);
    if (b < 0x80)
        return 1;
    size_t length = 0;
    unsigned char low = 0x80, high = 0xBF; // allowed range of the second byte
    if (b >= 0xC2 && b <= 0xDF) {
        length = 2;
    } else if (b >= 0xE0 && b <= 0xEF) {
        length = 3;
        if (b == 0xE0)
            low = 0xA0; // no overlong forms
        if (b == 0xED)
            high = 0x9F; // no surrogates
    } else if (b >= 0xF0 && b <= 0xF4) {
        length = 4;
        if (b == 0xF0)
            low = 0x90;
        if (b == 0xF4)
            high = 0x8F; // nothing above U+10FFFF
    } else {
        return 0;
    }
    if (i + length > text.size())
        return 0;
    if (byte(i + 1) < low || byte(i + 1) > high)
        return 0;
    for (size_t k = 2; k < length; ++k)
        if (byte(i + k) < 0x80 || byte(i + k) > 0xBF)
            return 0;
    return length;
}

inline void AppendByteEscape(std::string& out, unsigned char b)
{
    static const char Hex[] = "0123456789ABCDEF";
    out += "\\x";
    out += Hex[b >> 4];
    out += Hex[b & 0x0F];
}

inline std::string VisibleText(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        const auto b = static_cast<unsigned char>(text[i]);
        if (b == '\n') {
            out += "\\n";
        } else if (b == '\r') {
            out += "\\r";
        } else if (b == '\t') {
            out += "\\t";
        } else if (b < 0x20 || b == 0x7F) {
            AppendByteEscape(out, b);
        } else {
            const size_t length = Utf8SequenceLength(text, i);
            const bool c1 = length == 2 && b == 0xC2 && static_cast<unsigned char>(text[i + 1]) <= 0x9F;
            if (length == 0 || c1) {
                // A lone byte, or a C1 control that some terminals obey.
                const size_t count = c1 ? 2 : 1;
                for (size_t k = 0; k < count; ++k)
                    AppendByteEscape(out, static_cast<unsigned char>(text[i + k]));
                i += count;
                continue;
            }
            out.append(text.substr(i, length));
            i += length;
            continue;
        }
        ++i;
    }
    return out;
}

// True when VisibleText would change nothing.
inline bool IsVisibleText(std::string_view text) { return VisibleText(text) == text; }

} // namespace qvtext
