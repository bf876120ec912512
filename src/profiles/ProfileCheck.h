#pragma once

// Whether a profile file can be used as it stands. Loading a profile never
// fails (a missing key or file gives the defaults), so a file that is not a
// profile at all, or holds a value its format cannot use, would otherwise
// convert silently with default settings. Everything that uses a profile file
// (the batch, the option line, the profile commands) asks here first.

#include <string>
#include <vector>

// One reason why a profile file cannot be used.
struct TProfileProblem {
    std::string Key;    // the key at fault; empty for the file as a whole
    std::string Reason; // in English, without the file name
};

// What keeps a profile file of the format (0..21) from being used, in file
// order: a file that is not a regular file, larger than 1 MiB or unreadable;
// UTF-16 text or binary data; every key of the format's record whose value
// ParseFieldValue refuses (an index outside its list, a bitrate or size
// outside its range, a number that is none); times are left to the option
// line, which refuses them when time control is on. With requireOwnKeys, a
// file holding keys of other formats' records and none of the format's own
// keys (those beyond the description, the time keys and the codec choices
// that most formats share) is refused as a profile of another format. A
// missing file, keys missing from the file and keys no format knows are no
// problems.
std::vector<TProfileProblem> ProfileFileProblems(int format, const std::string& fileName,
                                                 bool requireOwnKeys = false);

// The message for the first of problems, naming the file, the key where one
// is at fault, and the reason; "" when there are none.
std::string ProfileProblemText(const std::string& fileName, const std::vector<TProfileProblem>& problems);
