#pragma once

// Moving a file to the desktop's Trash, laid out as freedesktop.org's Trash
// rules say, so that file managers can restore it: the
// home trash ($XDG_DATA_HOME/Trash) for a file on the home file system,
// otherwise a trash at the top of the file's own file system
// ($topdir/.Trash/$uid when the administrator made $topdir/.Trash, a real
// folder with the sticky bit, else $topdir/.Trash-$uid). The file is only
// ever renamed: a file that no trash on its own file system can take stays
// where it is.

#include <string>

struct TTrashResult {
    bool Moved = false;
    std::string TrashedFile; // where the file went (Moved)
    std::string InfoFile;    // its ".trashinfo" (Moved)
    std::string Problem;     // why it stayed where it is (not Moved), in English
};

// Moves Path (a file or a symbolic link; a link is moved, not its target)
// into the Trash. Missing trash folders are made (mode 0700). The
// ".trashinfo" is written first under a name nobody holds (O_EXCL), then the
// file is renamed beside it; when the rename fails the info file goes again.
TTrashResult MoveToTrash(const std::string& path);

// The "Path=" value of a ".trashinfo": every byte except letters, digits
// and "-_.~/" written as "%XX".
std::string TrashPathEncode(const std::string& path);
