#pragma once

// Giving a finished file its final name: never through a copy (which would
// show an incomplete file under that name) and never over a file that
// nobody agreed to replace, also when one appears while the file is made.

#include <string>
#include <sys/types.h>

// Which file already under the final name may be replaced.
struct TReplaceGrant {
    // Number: nothing is replaced; the file takes the first free name of
    // To, "To (2)", "To (3)"... (see MoveIntoFreeName).
    enum class TKind { None, Any, Identity, Number };
    TKind Kind = TKind::None;
    // Identity: the one file agreed to, as lstat() saw it when asked.
    dev_t Device = 0;
    ino_t Inode = 0;

    static TReplaceGrant Any() { return { TKind::Any, 0, 0 }; }
    static TReplaceGrant Only(dev_t device, ino_t inode) { return { TKind::Identity, device, inode }; }
    static TReplaceGrant Numbered() { return { TKind::Number, 0, 0 }; }
};

// The grant's text on the encoder's command line: "none", "any", "number" or
// "DEVICE:INODE" (decimal), and back. False for any other text.
std::string ReplaceGrantText(const TReplaceGrant& grant);
bool ParseReplaceGrant(const std::string& text, TReplaceGrant& grant);

// Gives From the name To (both on one file system). A free name stays
// unreplaceable to the end: renameat2() with RENAME_NOREPLACE, or where the
// file system lacks it a hard link and unlink. A file under To is replaced
// only as Grant allows and only when it is a regular file or a symbolic link
// (the link itself is replaced, never its target). Returns 0, or an errno
// value: EEXIST when To is there and may not be replaced; From is then
// unchanged.
int MoveIntoPlace(const std::string& from, const std::string& to, const TReplaceGrant& grant);

// The way MoveIntoPlace takes where renameat2() has no RENAME_NOREPLACE: a
// hard link (which never replaces) and unlink. File systems without hard
// links get a check that the name is free just before a plain rename.
// Same result rules.
int LinkIntoPlace(const std::string& from, const std::string& to);

// Name with " (Number)" before the extension of its file name part:
// "/a/clip.mp3", 2 gives "/a/clip (2).mp3"; 1 gives Name itself.
std::string NumberedName(const std::string& name, int number);

// Gives From the first free name of To, NumberedName(To, 1), (To, 2)...,
// never replacing anything (every try is a no-replace move, so a name taken
// meanwhile by another program is passed over). Number is set to the one
// used. Returns 0, or the errno value of a failure other than a taken name;
// EEXIST when no name up to MaxNumber is free.
int MoveIntoFreeName(const std::string& from, const std::string& to, int& number, int maxNumber = 9999);
