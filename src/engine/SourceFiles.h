#pragma once

// Which files may be sources of a conversion. The window's file list (files
// added, dropped or named on the desktop program's command line) and
// quorvex-cli decide it here.

#include <string>
#include <vector>

// True when Extension (with its dot, as FileExtension gives it) is one of the
// patterns "*.ext" of the filter lines ("name=*.avi;*.mpg"), compared without
// regard to letter case. An empty extension, a lone dot and an extension with
// a wildcard ("*.*" is no pattern of one extension) never pass.
bool IsAcceptedExtension(const std::string& extension, const std::vector<std::string>& filters);

// True when the extension of Path passes the filter lines of the language
// file (AcceptedFilters). A name such as ".avi" has no extension and so never
// passes, nor does "movie.".
bool IsAcceptedSourceName(const std::string& path);
