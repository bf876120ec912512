#pragma once

// Small routines shared across the program: paths and names, time texts,
// special folders and the after-batch power actions.

#include <cstdint>
#include <string>
#include <vector>

// Removes leading and trailing blanks and control characters (tabs, line
// breaks): the trim of texts, lines and names typed by the user.
std::string TrimText(const std::string& text);

// ---- Paths and names (the separator is "/") ----

// The part after the last "/", without everything from its last dot.
std::string ExtractFileBaseName(const std::string& path);
// Path with a "/" appended unless it already ends with one; "" gives "/".
std::string AddTrailingBackslash(const std::string& path);
// Folder part of Path (with its "/") + NewName + the extension of Path.
std::string ReplaceFileName(const std::string& path, const std::string& newName);
// False when Name is empty, holds one of \ / : * ? " < > |, a control
// character or bytes that are no UTF-8.
bool ValidFileName(const std::string& name);
// Size in bytes, or -1 when nothing is found.
int64_t FileSizeOf(const std::string& path);
// Deletes the file when it exists and is empty; true when it was deleted.
bool DeleteIfEmpty(const std::string& path);

// ---- Special folders ----

// "Personal" gives the user's documents folder (XDG), falling back to $HOME;
// empty when it cannot be found or for any other name.
std::string GetSpecialFolder(const std::string& name);

// ---- Time texts ----

// "h:mm:ss.zzz": 83450 gives "0:01:23.450"; a negative value gets a leading "-".
std::string MsToTimeText(int64_t ms);
// Milliseconds of a time text, or -1 when the text is not a time. Sums are
// computed in 32-bit signed arithmetic.
int64_t TimeTextToMs(const std::string& text);

// ---- After-batch power actions ----

// They go through the implementation installed with SetPowerActions
// (platform/PowerActions.h).
bool SetPrivilege(const std::string& name, bool enable);
// Action 0 to 5 of ShutdownFlag; any other value does nothing. Returns why
// the action failed (logind's answer or the request's error), "" when it was
// requested.
std::string PerformShutdownAction(int action);
// Why action 0 to 5 is not offered now (logind answers "no" or "na", or it
// could not be asked); "" when it is.
std::string ShutdownActionRefusal(int action);
