#pragma once

// Text and file-name rules that every part of the program, the encoder
// included, shares: ASCII letter case and the extension of a file name.

#include <string>
#include <vector>

// The letter in lower case when it is an ASCII capital; any other byte
// (UTF-8 included) stays as it is.
char LowerAscii(char c);
std::string LowerAscii(std::string text);

// ASCII case-insensitive equality, the comparison of section and key names,
// command lines and names typed by the user.
bool SameTextAscii(const std::string& a, const std::string& b);

// The pieces of Text between the separators, empty ones included: "a::b"
// gives "a", "", "b"; "" gives one empty piece.
std::vector<std::string> SplitText(const std::string& text, char separator);

// The part after the last "/" (the whole text when it has none).
std::string FileNamePart(const std::string& path);

// The extension of the file name part with its dot: from the last dot to the
// end ("clip.AVI" gives ".AVI", "name." gives "."). A name whose only dot is
// its first character (".avi", ".profile") has no extension, and neither has
// a name without a dot; both give "".
std::string FileExtension(const std::string& path);

// The path with its extension (as FileExtension finds it) replaced by
// Extension, which carries its dot; a name without one gets it appended.
std::string ChangeFileExtension(const std::string& path, const std::string& extension);
