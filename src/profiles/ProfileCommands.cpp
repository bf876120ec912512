#include "profiles/ProfileCommands.h"

#include <cerrno>
#include <cstdio>
#include <iterator>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "app/AppUtils.h"
#include "app/VisibleText.h"
#include "lang/Format.h"
#include "lang/MultiLanguages.h"
#include "platform/IniFile.h"
#include "platform/MoveIntoPlace.h"
#include "platform/TextRules.h"
#include "profiles/EditorDescriptions.h"
#include "profiles/EditorRules.h"
#include "profiles/ProfileCheck.h"

namespace {

using F = OutputFormatKind;

constexpr OutputFormatKind MainFormats[] = {F::AVI, F::MP4, F::TGP, F::MPEG, F::MOV, F::WMV, F::RM, F::SWF};
constexpr OutputFormatKind OtherFormats[] = {F::AAC, F::AC3, F::MP2, F::AMR, F::WAV,  F::MP3,  F::VOB,
                                             F::ASF, F::MKV, F::WEBM, F::OPUS, F::FLAC, F::M4A, F::OGG};
static_assert(std::size(OtherFormats) + 8 == OutputFormatCount, "every format is a main or an other format");

std::string ProfileMask(int format)
{
    return ProfileFolder(format) + "*." + ProfileExtension(ProfileFolderName(format));
}

void RefillList(int format, const std::string& selectName)
{
    FillProfileList(ProfileLists[format], ProfileMask(format), selectName);
}

// The profile name of a path: its file name without the extension.
std::string NameOfPath(const std::string& path)
{
    return ExtractFileBaseName(path);
}

// Ends the busy cursor on every way out.
class TBusyScope {
public:
    explicit TBusyScope(TProfileCommandUI& ui) : ui_(ui) { ui_.BeginBusy(); }
    ~TBusyScope() { ui_.EndBusy(); }
    TBusyScope(const TBusyScope&) = delete;
    TBusyScope& operator=(const TBusyScope&) = delete;

private:
    TProfileCommandUI& ui_;
};

bool IsSizeKey(const std::string& key)
{
    return key.rfind("VideoWidth", 0) == 0 || key.rfind("VideoHeight", 0) == 0;
}

// Bitrates in kbit/s: a negative or zero one reaches the encoder as "-b -5k",
// which it refuses or misreads; a huge one overflows its bits per second.
bool IsBitRateKey(const std::string& key)
{
    return key.find("BitRate") != std::string::npos;
}
constexpr int32_t MinBitRate = 1;
constexpr int32_t MaxBitRate = 100000;

bool HasLineBreak(const std::string& text)
{
    return text.find_first_of("\r\n") != std::string::npos;
}

} // namespace

int ProfileCommandFormat(const TFormatActionStates& states)
{
    for (OutputFormatKind kind : MainFormats)
        if (!states.Enabled[static_cast<int>(kind)])
            return static_cast<int>(kind);
    for (OutputFormatKind kind : OtherFormats)
        if (states.Checked[static_cast<int>(kind)])
            return static_cast<int>(kind);
    return -1;
}

bool ValidProfileName(const std::string& name)
{
    // The flows take the name as given, so a control character at either end
    // (which trimming would hide) counts too.
    return ValidFileName(TrimText(name)) && qvtext::IsVisibleText(name);
}

bool RenameNoReplace(const std::string& from, const std::string& to, int& error)
{
    error = MoveIntoPlace(from, to, TReplaceGrant());
    return error == 0;
}

namespace {

// Holds the profile folder of a format locked while a profile file in it is
// read, changed and written again, so that two programs changing one profile
// at once (the window and quorvex-cli, or two quorvex-cli runs) both land.
// The folder is locked rather than the file because the file is replaced on
// every save. Without a lock (a folder that cannot be opened) the save still
// happens, as before.
class TFolderLock {
public:
    explicit TFolderLock(const std::string& folder)
        : fd_(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC))
    {
        if (fd_ >= 0)
            while (::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
            }
    }
    ~TFolderLock()
    {
        if (fd_ >= 0)
            ::close(fd_); // releases the lock
    }
    TFolderLock(const TFolderLock&) = delete;
    TFolderLock& operator=(const TFolderLock&) = delete;

private:
    int fd_;
};

// Writes to the profile file what the editor changed from original, over the
// file as it is now: keys that another program changed meanwhile and this
// editor left alone keep that program's values. Returns the record saved.
TProfileRecord SaveChanges(int format, const std::string& path, const TProfileRecord& original,
                           const TProfileRecord& edited)
{
    TFolderLock lock(ProfileFolder(format));
    TProfileRecord current = LoadRecord(format, path);
    for (const TFieldInfo& f : RecordFields(format)) {
        const std::optional<TFieldValue> value = GetField(edited, f.Key);
        if (value && value != GetField(original, f.Key))
            SetField(current, f.Key, *value);
    }
    SaveRecord(current, path);
    return current;
}

// Saves a new profile over the file the user agreed to replace. A file that
// is no profile text (UTF-16, binary, too large) is replaced whole: saving
// keeps the other lines of a file, which would leave the new keys among what
// made it unusable. Anything but a regular file is never written over.
void SaveReplacing(const TProfileRecord& record, const std::string& path)
{
    struct stat st {};
    const std::vector<TProfileProblem> problems = ProfileFileProblems(RecordFormat(record), path);
    if (problems.empty() || !problems.front().Key.empty() || ::lstat(path.c_str(), &st) != 0 ||
        !S_ISREG(st.st_mode)) {
        SaveRecord(record, path);
        return;
    }
    const std::string name = FileNamePart(path);
    const std::string fresh = path.substr(0, path.size() - name.size()) + "." + name + ".new-" + std::to_string(::getpid());
    ::unlink(fresh.c_str());
    try {
        SaveRecord(record, fresh);
    } catch (...) {
        ::unlink(fresh.c_str());
        throw;
    }
    if (::rename(fresh.c_str(), path.c_str()) != 0) {
        ::unlink(fresh.c_str());
        throw EIniWriteError(path);
    }
}

// Refuses a name that the name dialog would not accept (the dialog may be
// another front end's); the user is told why.
bool AcceptedName(const std::string& name, TProfileCommandUI& ui)
{
    if (ValidProfileName(name))
        return true;
    ui.Inform(IDS_PROFILE_MESSAGEBOX_InvalidFileNameTitle, IDS_PROFILE_MESSAGEBOX_InvalidFileName);
    return false;
}

// Why a command on the selected profile of Format cannot run, if it cannot:
// no such format, or no selected profile (the path would name no profile,
// ".avo").
std::optional<TProfileCommandResult> RefusedWithoutSelection(int format)
{
    if (!ValidFormat(format))
        return TProfileCommandResult::NoFormat;
    if (ProfileLists[format].Text().empty())
        return TProfileCommandResult::NoProfile;
    return std::nullopt;
}

} // namespace

TProfileCommandResult AddNewProfile(int format, TProfileCommandUI& ui)
{
    if (!ValidFormat(format))
        return TProfileCommandResult::NoFormat;
    TProfileRecord record = DefaultRecord(format);
    std::unique_ptr<TProfileEditorSession> editor = ui.OpenEditor(format, record);
    if (!editor || !editor->ShowModal())
        return TProfileCommandResult::Cancelled;
    const std::optional<std::string> name = ui.AskProfileName("");
    if (!name)
        return TProfileCommandResult::Cancelled;
    if (!AcceptedName(*name, ui))
        return TProfileCommandResult::InvalidName;
    // A profile name is one name whatever its letter case: an existing file
    // of this name in any spelling (of the name or of the extension) is the
    // file to replace, and keeps its spelling.
    const std::string path = ProfileFilePath(format, *name);
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
        const TAnswer answer = ui.Confirm(IDS_MESSAGEBOX_Overwrite, FormatText(IDS_MESSAGEBOX_FileExists, {path}));
        if (answer != TAnswer::Yes) // a question closed unanswered replaces nothing
            return TProfileCommandResult::Declined;
    }
    editor->CollectSettings(record);
    {
        TFolderLock lock(ProfileFolder(format));
        SaveReplacing(record, path);
    }
    SetCurrentRecord(record);
    RefillList(format, NameOfPath(path));
    return TProfileCommandResult::Done;
}

TProfileCommandResult EditProfile(int format, TProfileCommandUI& ui)
{
    if (const auto refused = RefusedWithoutSelection(format))
        return *refused;
    TBusyScope busy(ui);
    const std::string path = SelectedProfilePath(format);
    // A file that is no profile text (UTF-16, binary, too large, a pipe) is
    // not opened as the defaults, nor written over with them. Values out of
    // range are shown as loaded, so that the editor can mend them.
    const std::vector<TProfileProblem> problems = ProfileFileProblems(format, path);
    if (!problems.empty() && problems.front().Key.empty()) {
        ui.Inform(IDS_MESSAGEBOX_Error, ProfileProblemText(path, problems));
        return TProfileCommandResult::Unreadable;
    }
    const TProfileRecord original = LoadRecord(format, path);
    TProfileRecord record = original;
    SetCurrentRecord(record);
    std::unique_ptr<TProfileEditorSession> editor = ui.OpenEditor(format, record);
    if (!editor || !editor->ShowModal())
        return TProfileCommandResult::Cancelled;
    editor->CollectSettings(record);
    SetCurrentRecord(SaveChanges(format, path, original, record));
    return TProfileCommandResult::Done;
}

TProfileCommandResult RenameProfile(int format, TProfileCommandUI& ui)
{
    if (const auto refused = RefusedWithoutSelection(format))
        return *refused;
    const std::string oldName = ProfileLists[format].Text();
    const std::optional<std::string> name = ui.AskProfileName(oldName);
    if (!name)
        return TProfileCommandResult::Cancelled;
    // The same name again changes nothing (not even the extension's spelling).
    if (*name == oldName) {
        RefillList(format, oldName);
        return TProfileCommandResult::Done;
    }
    if (!AcceptedName(*name, ui))
        return TProfileCommandResult::InvalidName;
    const std::string oldPath = SelectedProfilePath(format);
    // The new file gets the lower-case extension. A file of the new name in
    // any letter case counts as existing, unless it is this profile's own
    // file: "Default" renamed "default" is a rename of that one file.
    const std::string newPath = ProfileFolder(format) + *name + "." + ProfileExtension(ProfileFolderName(format));
    int error = 0;
    bool taken = false;
    for (const std::string& file : ProfileFilesOfName(format, *name))
        if (NameOfPath(file) != oldName)
            taken = true;
    if (taken)
        error = EEXIST;
    if (taken || !RenameNoReplace(oldPath, newPath, error)) {
        ui.Inform(IDS_MESSAGEBOX_RenameFailedTitle, IDS_MESSAGEBX_RenameFailed);
        return error == EEXIST ? TProfileCommandResult::Exists : TProfileCommandResult::Failed;
    }
    RefillList(format, *name);
    return TProfileCommandResult::Done;
}

TProfileCommandResult DeleteProfile(int format, TProfileCommandUI& ui)
{
    if (const auto refused = RefusedWithoutSelection(format))
        return *refused;
    TProfileList& list = ProfileLists[format];
    if (list.Items.size() == 1) {
        ui.Inform(IDS_MESSAGEBOX_LastProfileTitle, IDS_MESSAGEBOX_LastProfile);
        return TProfileCommandResult::LastProfile;
    }
    const std::string name = list.Text();
    if (ui.Confirm(IDS_MESSAGEBOX_SureDeleteProfileTitle, FormatText(IDS_MESSAGEBOX_SureDeleteProfile, {name})) !=
        TAnswer::Yes)
        return TProfileCommandResult::Declined;
    // Every spelling of the file goes, so the name leaves the list.
    std::vector<std::string> files = ProfileFileSpellings(format, name);
    if (files.empty())
        files.push_back(SelectedProfilePath(format));
    bool failed = false;
    for (const std::string& file : files)
        if (std::remove(file.c_str()) != 0)
            failed = true;
    if (failed) {
        ui.Inform(IDS_MESSAGEBOX_Error, FormatText(IDS_MESSAGEBOX_DeleteProfileFailed, {name}));
        // A spelling that did go leaves the list as the folder now holds it.
        if (files.size() > 1)
            RefillList(format, name);
        return TProfileCommandResult::Failed;
    }
    RefillList(format, "");
    return TProfileCommandResult::Done;
}

// ---- Values of profile fields given as text ----

int IndexListSize(int format, const std::string& key)
{
    if (!ValidFormat(format))
        return 0;
    const TEditorDescription& d = EditorDescription(format);
    if (key == d.FormatKey)
        return static_cast<int>(d.FormatEntries.size());
    for (const auto* lists : {&d.VideoLists, &d.AudioLists})
        for (const TCodecList& list : *lists)
            if (list.Key == key)
                return static_cast<int>(list.Entries.size());
    for (const TSettingList& list : d.SettingLists)
        if (list.Key == key)
            return static_cast<int>(list.Entries().size());
    for (const TCodecPage& page : d.VideoPages) {
        if (key == "VideoFrameRate" + page.Suffix && page.FrameRates != TFrameRateList::None)
            return static_cast<int>(FrameRateTexts(page.FrameRates).size());
        if (key == "VideoAspect" + page.Suffix)
            return page.Kind == TPageKind::H263 ? H263AspectCount : VideoAspectCount;
    }
    for (const TCodecPage& page : d.AudioPages) {
        if (key == "AudioSampleRate" + page.Suffix && page.SampleRates != TSampleRateList::None)
            return static_cast<int>(SampleRateTexts(page.SampleRates).size());
        if (key == "AudioChannels" + page.Suffix && page.Channels != TChannelList::None)
            return static_cast<int>(ChannelTexts(page.Channels).size());
    }
    // The MPEG editor's radio groups and DVD aspect list.
    if (d.Extra == TEditorExtra::MpegPresets && (key == "TargetFormat" || key == "PresetType" || key == "DVDVideoAspect"))
        return 3;
    return 0;
}

std::optional<TFieldValue> ParseFieldValue(int format, const std::string& key, const std::string& text,
                                           std::string& error)
{
    const TFieldInfo* field = FindField(format, key);
    if (!field) {
        error = "\"" + key + "\" is not a key of this format's profiles";
        return std::nullopt;
    }
    if (HasLineBreak(text)) {
        error = "the value of \"" + key + "\" holds a line break";
        return std::nullopt;
    }
    switch (field->Kind) {
    case TFieldKind::Text:
        return TFieldValue(text);
    case TFieldKind::Time:
        if (TimeTextToMs(TrimText(text)) < 0) {
            error = "\"" + key + "\" needs a time such as 0:01:30.000, not \"" + text + "\"";
            return std::nullopt;
        }
        return TFieldValue(TrimText(text));
    case TFieldKind::Flag: {
        const std::optional<int32_t> n = ParseIniInteger(text);
        if (!n) {
            error = "\"" + key + "\" needs 1 or 0, not \"" + text + "\"";
            return std::nullopt;
        }
        return TFieldValue(*n != 0);
    }
    case TFieldKind::Index: {
        const std::optional<int32_t> n = ParseIniInteger(text);
        const int size = IndexListSize(format, key);
        const int last = size > 0 ? size - 1 : 254;
        if (!n || *n < 0 || *n > last) {
            error = "\"" + key + "\" needs a list position from 0 to " + std::to_string(last) + ", not \"" + text + "\"";
            return std::nullopt;
        }
        return TFieldValue(static_cast<uint8_t>(*n));
    }
    case TFieldKind::Number: {
        const std::optional<int32_t> n = ParseIniInteger(text);
        if (!n) {
            error = "\"" + key + "\" needs a whole number, not \"" + text + "\"";
            return std::nullopt;
        }
        if (IsSizeKey(key) && (*n < MinVideoDimension || *n > MaxVideoDimension)) {
            error = "\"" + key + "\" needs a number from " + std::to_string(MinVideoDimension) + " to " +
                    std::to_string(MaxVideoDimension) + ", not \"" + text + "\"";
            return std::nullopt;
        }
        if (IsBitRateKey(key) && (*n < MinBitRate || *n > MaxBitRate)) {
            error = "\"" + key + "\" needs a bitrate from " + std::to_string(MinBitRate) + " to " +
                    std::to_string(MaxBitRate) + " kbit/s, not \"" + text + "\"";
            return std::nullopt;
        }
        if (key == "LoudnessTarget" && (*n < MinLoudnessTarget || *n > MaxLoudnessTarget)) {
            error = "\"" + key + "\" needs tenths of LUFS from " + std::to_string(MinLoudnessTarget) + " to " +
                    std::to_string(MaxLoudnessTarget) + " (-230 is -23 LUFS), not \"" + text + "\"";
            return std::nullopt;
        }
        if (key == "TruePeakCeiling" && (*n < MinTruePeakCeiling || *n > MaxTruePeakCeiling)) {
            error = "\"" + key + "\" needs tenths of dBTP from " + std::to_string(MinTruePeakCeiling) + " to " +
                    std::to_string(MaxTruePeakCeiling) + " (-10 is -1 dBTP), not \"" + text + "\"";
            return std::nullopt;
        }
        return TFieldValue(*n);
    }
    }
    return std::nullopt;
}

std::string ProfileText(const TProfileRecord& record)
{
    std::string text = "[General]\n";
    for (const TFieldInfo& f : RecordFields(RecordFormat(record))) {
        const std::string key(f.Key);
        text += key + "=";
        switch (f.Kind) {
        case TFieldKind::Text:
        case TFieldKind::Time: text += GetText(record, key); break;
        case TFieldKind::Flag: text += GetFlag(record, key) ? "1" : "0"; break;
        case TFieldKind::Index: text += std::to_string(GetIndex(record, key)); break;
        case TFieldKind::Number: text += std::to_string(GetNumber(record, key)); break;
        }
        text += "\n";
    }
    return text;
}
