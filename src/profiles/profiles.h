#pragma once

// Profile files and the profile store.
//
// A profile is one INI file, section "General", holding one key per field of
// its format's record (globals.h). For every format X (AVI, MP4, TGP, MPEG,
// Mov, Wmv, Rm, Swf, Asf, Vob, Aac, Ac3, Mp2, Mp3, Amr, Wav):
//  - Default<X>Settings() gives every field of <X>Settings its default; the
//    Description default is the catalogue text IDS_NO_DESCRIPTION in force at
//    the time of the call.
//  - Load<X>Settings(file) starts from the defaults and reads every key with
//    the field's current value as fallback; a missing file, key or malformed
//    value keeps the default, and nothing is created on disk.
//  - Save<X>Settings(file) writes every key; other keys and sections of the
//    file stay. Throws EIniWriteError ("Unable to write to <file>") when the
//    file cannot be written; the file on disk then stays as it was.

#include <string>
#include <vector>

#include "app/Settings.h"
#include "profiles/globals.h"

void DefaultAVISettings();
void LoadAVISettings(const std::string& fileName);
void SaveAVISettings(const std::string& fileName);
void DefaultMP4Settings();
void LoadMP4Settings(const std::string& fileName);
void SaveMP4Settings(const std::string& fileName);
void DefaultTGPSettings();
void LoadTGPSettings(const std::string& fileName);
void SaveTGPSettings(const std::string& fileName);
void DefaultMPEGSettings();
void LoadMPEGSettings(const std::string& fileName);
void SaveMPEGSettings(const std::string& fileName);
void DefaultMovSettings();
void LoadMovSettings(const std::string& fileName);
void SaveMovSettings(const std::string& fileName);
void DefaultWmvSettings();
void LoadWmvSettings(const std::string& fileName);
void SaveWmvSettings(const std::string& fileName);
void DefaultRmSettings();
void LoadRmSettings(const std::string& fileName);
void SaveRmSettings(const std::string& fileName);
void DefaultSwfSettings();
void LoadSwfSettings(const std::string& fileName);
void SaveSwfSettings(const std::string& fileName);
void DefaultAsfSettings();
void LoadAsfSettings(const std::string& fileName);
void SaveAsfSettings(const std::string& fileName);
void DefaultVobSettings();
void LoadVobSettings(const std::string& fileName);
void SaveVobSettings(const std::string& fileName);
void DefaultAacSettings();
void LoadAacSettings(const std::string& fileName);
void SaveAacSettings(const std::string& fileName);
void DefaultAc3Settings();
void LoadAc3Settings(const std::string& fileName);
void SaveAc3Settings(const std::string& fileName);
void DefaultMp2Settings();
void LoadMp2Settings(const std::string& fileName);
void SaveMp2Settings(const std::string& fileName);
void DefaultMp3Settings();
void LoadMp3Settings(const std::string& fileName);
void SaveMp3Settings(const std::string& fileName);
void DefaultAmrSettings();
void LoadAmrSettings(const std::string& fileName);
void SaveAmrSettings(const std::string& fileName);
void DefaultWavSettings();
void LoadWavSettings(const std::string& fileName);
void SaveWavSettings(const std::string& fileName);

// The same routines chosen by OutputFormatKind value; a format of 22 or more
// does nothing.
void DefaultFormatSettings(int format);
void LoadFormatSettings(int format, const std::string& fileName);
void SaveFormatSettings(int format, const std::string& fileName);

// ---- Profile store ----

// One profile list of the main window: the profile names of a format and the
// selected one (-1: none).
struct TProfileList {
    std::vector<std::string> Items;
    int ItemIndex = -1;
    // The selected name, "" when nothing is selected.
    std::string Text() const;
};

// The profile lists, indexed by OutputFormatKind value.
extern TProfileList ProfileLists[OutputFormatCount];

// Folder name of a format ("avi", "mp4", "3gp", "mpg", ...); "" for 22 or more.
std::string ProfileFolderName(int format);
// Output file extension of a format (".avi", ...; ".3gp" for 3GP); "" for 22 or more.
std::string FormatOutputExtension(int format);
// Computes Options.ProfileRoot (the language file path less its last four
// characters, then "_Profile/") and the folder fields.
void ComputeProfileFolders();
// Computes the folders and creates each with its parents, in the order avi,
// mp4, 3gp, mpg, mov, wmv, rm, swf, aac, vob, ac3, mp2, mp3, amr, wav, asf;
// stops at the first folder that cannot be created and returns false.
bool BuildProfileFolders();
// Builds the folders, fills every format folder that holds no profile from
// the shipped profiles (FillEmptyProfileFolders with ShippedProfileRoot()) and
// fills all lists, each selecting as SelectPreferredProfile with
// Options.LastProfile of its format; false when a folder cannot be created (the caller
// shows IDS_MESSAGEBOX_CreateDirError), lists untouched.
bool RefreshProfileLists();
// The untouched copy of the shipped profiles in the program folder:
// AppFolder + "shipped/", holding one "<language>_Profile/" tree per language
// that ships profiles.
std::string ShippedProfileRoot();
// Copies into every format folder of the profile tree profileRoot (a folder
// named "<language>_Profile/") that holds no profile the shipped profiles of
// that format: those of shippedRoot + "<language>_Profile/", or of
// "English_Profile/" when the language ships none for the format. Existing
// files are never overwritten; copies get the lower-case extension. Returns
// the number of files copied.
int FillEmptyProfileFolders(const std::string& shippedRoot, const std::string& profileRoot);
// The list of shipped profiles already offered to a profile tree, kept in the
// tree itself: one "<format folder>/<lower-case name>" a line.
inline constexpr const char* ShippedRecordFile = ".shipped-profiles";
// Copies into the profile tree every shipped profile (same choice of tree as
// FillEmptyProfileFolders) that was never offered to it before and is not
// present, then records the offered names. A profile the user deleted or
// changed stays so; profiles that a newer version ships arrive once. Returns
// the number of files copied.
int AddNewShippedProfiles(const std::string& shippedRoot, const std::string& profileRoot);
// Fills a list with the regular files matching mask (a folder followed by
// "*." and an extension; matched without regard to letter case), each name
// without its extension, sorted without regard to case; a name whose file
// exists in two spellings of the extension ("a.avo", "a.AVO") is listed once. Selects selectName
// (FindProfileName) when given (nothing when it is not listed), otherwise
// as SelectPreferredProfile with nothing remembered.
void FillProfileList(TProfileList& list, const std::string& mask, const std::string& selectName);
// The profile that a format's list shows when the user has not chosen one.
inline constexpr const char* DefaultProfileName = "Default";
// Selects the remembered name when it is listed, else DefaultProfileName
// when listed, else the first entry; nothing in an empty list.
void SelectPreferredProfile(TProfileList& list, const std::string& remembered);
// The position of a profile name in a list: the entry spelled exactly so,
// else the first that differs only in ASCII letter case; -1 for none. A
// profile name is one name whatever its letter case, but two names that
// differ only so (made by earlier versions) each keep their own entry.
int FindProfileName(const TProfileList& list, const std::string& name);
// The first two characters of folderName followed by "o".
std::string ProfileExtension(const std::string& folderName);
// The profile folder of a format (from Options), "" for 22 or more.
std::string ProfileFolder(int format);
// The file of a named profile of a format: the existing file whose name is
// the profile name followed by "." and the profile extension in any letter
// case (the lower-case spelling first); else the existing file whose name
// differs from that only in letter case ("Default.avo" for "default"), so
// that a name reaches the same profile whatever its letter case; otherwise
// folder + name + "." + the lower-case extension, the name a new file is
// written under.
std::string ProfileFilePath(int format, const std::string& name);
// Every existing file of a named profile (each spelling of the extension).
std::vector<std::string> ProfileFileSpellings(int format, const std::string& name);
// Every existing file whose name is the profile name and extension in any
// letter case, sorted.
std::vector<std::string> ProfileFilesOfName(int format, const std::string& name);
// ProfileFilePath of the selected name of the format's list.
std::string SelectedProfilePath(int format);
// Output extension of Options.OutputFormat; for 3GP loads the selected 3GP
// profile and gives ".3g2" when TGPFormat is 2. "" for 22 or more.
std::string GetOutputExtension();
