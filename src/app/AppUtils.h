#pragma once

// Small routines shared across the program: paths and names, time texts,
// special folders and the after-batch power actions.

#include <cstdint>
#include <functional>
#include <memory>
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
// False when Name is empty or holds one of \ / : * ? " < > |.
bool ValidFileName(const std::string& name);
// Size in bytes, or -1 when nothing is found.
int64_t FileSizeOf(const std::string& path);
// Deletes the file when it exists and is empty; true when it was deleted.
bool DeleteIfEmpty(const std::string& path);
// For every "name=value" entry: name + "|" + value + "|"; then the catalogue
// text "All Files" + "|*.*".
std::string BuildFilterString(const std::vector<std::string>& entries);

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

// What the power actions reach. The program installs the real one (which asks
// systemd-logind); tests install a fake. Until one is installed a do-nothing
// implementation is in force, so nothing can reach the real actions by accident.
class TPowerActions {
public:
    virtual ~TPowerActions() = default;
    // Whether the named privilege ("SeShutdownPrivilege") can be switched on
    // (Enable) or off; for the shutdown privilege: whether logind allows the
    // actions at all.
    virtual bool SetPrivilege(const std::string& name, bool enable) = 0;
    virtual void EndProgram() = 0; // action 0
    virtual void PowerOff() = 0;   // action 1
    virtual void LogOff() = 0;     // action 2
    virtual void Reboot() = 0;     // action 3
    virtual void Hibernate() = 0;  // action 4
    virtual void Suspend() = 0;    // action 5
};

// Installs the implementation in force; returns the one it replaces.
std::unique_ptr<TPowerActions> SetPowerActions(std::unique_ptr<TPowerActions> actions);
TPowerActions& PowerActions();
// The systemd-logind implementation; endProgram runs for action 0.
std::unique_ptr<TPowerActions> MakeLogindPowerActions(std::function<void()> endProgram);

bool SetPrivilege(const std::string& name, bool enable);
// Action 0 to 5 of ShutdownFlag; any other value does nothing.
void PerformShutdownAction(int action);
