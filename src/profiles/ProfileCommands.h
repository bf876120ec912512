#pragma once

// The four profile commands (add, edit, rename, delete) on the profiles of
// one format, without any window: the questions, the name entry and the
// editor are reached through TProfileCommandUI, which the main window and
// quorvex-cli each implement (and tests fake). The flows work on the store's
// lists (ProfileLists) and files.

#include <memory>
#include <optional>
#include <string>

#include "profiles/RecordFields.h"
#include "profiles/profiles.h"

// Answer to a Yes/No question; Other stands for any other way the question
// was closed.
enum class TAnswer { Yes, No, Other };

// One opened editor window over a record.
class TProfileEditorSession {
public:
    virtual ~TProfileEditorSession() = default;
    // Shows the editor modally; true when it closed with OK.
    virtual bool ShowModal() = 0;
    // Copies the editor's controls into record.
    virtual void CollectSettings(TProfileRecord& record) = 0;
};

class TProfileCommandUI {
public:
    virtual ~TProfileCommandUI() = default;
    // Creates the format's editor, placed over the main window, showing record.
    virtual std::unique_ptr<TProfileEditorSession> OpenEditor(int format, const TProfileRecord& record) = 0;
    // The name dialog, placed over the main window, preset with name. The
    // accepted name, or nothing unless a valid name was accepted.
    virtual std::optional<std::string> AskProfileName(const std::string& name) = 0;
    // The confirmation dialog with Yes and No.
    virtual TAnswer Confirm(const std::string& title, const std::string& text) = 0;
    // A message box with the information icon.
    virtual void Inform(const std::string& title, const std::string& text) = 0;
    // The busy cursor around the edit flow.
    virtual void BeginBusy() {}
    virtual void EndBusy() {}
};

enum class TProfileCommandResult {
    Done,       // the file was written, renamed or deleted
    NoFormat,   // no format is chosen: nothing was done
    NoProfile,  // the format's list has no selected profile: nothing was done
    Cancelled,  // the editor or the name dialog was not accepted
    Declined,   // the overwrite or delete question was not answered Yes
    LastProfile,// deleting the last profile of a format was refused
    Exists,     // renaming onto a name whose file exists was refused
    Failed,     // renaming or deleting failed (the user was told)
    InvalidName,// the name given is no valid profile name (the user was told)
    Unreadable, // the profile file is no profile text (the user was told)
};

// The format the commands act on, from the states of the format
// actions (indexed by OutputFormatKind value): the first of AVI, MP4, 3GP,
// MPEG, MOV, WMV, RM, SWF whose action is disabled, else the first of AAC,
// AC3, MP2, AMR, WAV, MP3, VOB, ASF whose action is checked; -1 for none.
struct TFormatActionStates {
    bool Enabled[OutputFormatCount];
    bool Checked[OutputFormatCount];
};
int ProfileCommandFormat(const TFormatActionStates& states);

// Editor with defaults, name, overwrite question, save, list refilled with
// the new name selected. A save that fails throws EIniWriteError.
TProfileCommandResult AddNewProfile(int format, TProfileCommandUI& ui);
// The selected profile in the editor, saved to the same file on OK: the
// fields the editor changed are written over the file as it is then, under a
// lock, so a change another program made meanwhile to other keys stays. A
// file that is no profile text is refused (ProfileFileProblems).
TProfileCommandResult EditProfile(int format, TProfileCommandUI& ui);
// Renames the selected profile without ever replacing another file; a
// name of another profile in any letter case counts as taken, the profile's
// own name unchanged is no change.
TProfileCommandResult RenameProfile(int format, TProfileCommandUI& ui);
// Deletes the selected profile after the question; never the last one.
TProfileCommandResult DeleteProfile(int format, TProfileCommandUI& ui);

// The name rule of the name dialog: not blank once trimmed, and none of
// \ / : * ? " < > |.
bool ValidProfileName(const std::string& name);

// Renames from to to only when to does not exist (MoveIntoPlace without a
// grant: never a copy). On failure returns false with an errno-style code in
// error (EEXIST when to exists); from is then unchanged.
bool RenameNoReplace(const std::string& from, const std::string& to, int& error);

// ---- Values of profile fields given as text ----

// The number of entries of the list an index key chooses from, 0 when the
// key is not an index of a known list.
int IndexListSize(int format, const std::string& key);
// Reads text as a value of the field key of the format, by the rules of
// profile files (numbers decimal or "0x" hexadecimal). Refuses (nothing, with
// the reason in error) an unknown key, a value not of the field's kind, an
// index outside its list, a width or height outside 2..1600, a bitrate
// outside 1..100000 kbit/s, a time the time reader does not read, and any
// line break.
std::optional<TFieldValue> ParseFieldValue(int format, const std::string& key, const std::string& text,
                                           std::string& error);
// The record as a profile file holds it: "[General]" and one "key=value"
// line per field in record order.
std::string ProfileText(const TProfileRecord& record);
