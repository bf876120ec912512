#pragma once

// Whether files can be written into a folder, found by writing one: access()
// says yes to root on a read-only file system and knows nothing of a full
// disk, so a small hidden file is created (O_EXCL), given one byte and removed.

#include <string>

// 0 when a file could be created, written and removed in Folder; otherwise
// the errno of the step that failed (EROFS, EACCES, ENOSPC, EDQUOT, ...).
int ProbeWritableFolder(const std::string& folder);
