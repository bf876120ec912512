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

// Where a source came from when it was found below a folder given as a
// source: that folder (as given, absolute) and the source's path relative to
// it ("live/a.flac"). Both are "" for a file given by itself. The mirrored
// output tree and a split of the batch across machines work from these.
struct TSourcePlace {
    std::string Folder;
    std::string RelativePath;
    bool operator==(const TSourcePlace&) const = default;
};

struct TWalkedFile {
    std::string Path; // Folder + "/" + RelativePath
    TSourcePlace Place;
};

// The sources below Folder: files whose names pass IsAcceptedSourceName,
// sorted by relative path (byte order). Other files are passed over
// silently, and so are hidden entries (names beginning with "."; partial
// outputs among them), the folders in Skip (compared as files, so another
// spelling or a link to one is skipped too: the output folder) and links to
// folders (so no walk can loop); links to files are followed. Folders that
// cannot be read are passed over.
std::vector<TWalkedFile> WalkSourceFolder(const std::string& folder, const std::vector<std::string>& skip = {});
