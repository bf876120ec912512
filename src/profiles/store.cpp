#include <algorithm>
#include <fstream>
#include <set>
#include <sstream>
#include <filesystem>
#include <system_error>

#include "profiles/profiles.h"
#include "platform/RegularFile.h"
#include "platform/TextRules.h"

namespace fs = std::filesystem;

TProfileList ProfileLists[OutputFormatCount];

std::string TProfileList::Text() const
{
    if (ItemIndex < 0 || ItemIndex >= static_cast<int>(Items.size()))
        return {};
    return Items[static_cast<size_t>(ItemIndex)];
}

namespace {

struct TFormatFolder {
    const char* Name;              // folder name inside the profile root
    std::string TOptions::*Folder; // the options field holding its path
    const char* OutputExtension;
};

// Indexed by OutputFormatKind value.
const TFormatFolder FormatFolders[OutputFormatCount] = {
    {"avi", &TOptions::AVIProfileFolder, ".avi"},
    {"mp4", &TOptions::MP4ProfileFolder, ".mp4"},
    {"3gp", &TOptions::TGPProfileFolder, ".3gp"},
    {"mpg", &TOptions::MPEGProfileFolder, ".mpg"},
    {"mov", &TOptions::MovProfileFolder, ".mov"},
    {"wmv", &TOptions::WmvProfileFolder, ".wmv"},
    {"rm", &TOptions::RmProfileFolder, ".rm"},
    {"swf", &TOptions::SwfProfileFolder, ".swf"},
    {"vob", &TOptions::VobProfileFolder, ".vob"},
    {"asf", &TOptions::AsfProfileFolder, ".asf"},
    {"aac", &TOptions::AacProfileFolder, ".aac"},
    {"ac3", &TOptions::Ac3ProfileFolder, ".ac3"},
    {"mp2", &TOptions::Mp2ProfileFolder, ".mp2"},
    {"mp3", &TOptions::Mp3ProfileFolder, ".mp3"},
    {"amr", &TOptions::AmrProfileFolder, ".amr"},
    {"wav", &TOptions::WavProfileFolder, ".wav"},
    {"mkv", &TOptions::MkvProfileFolder, ".mkv"},
    {"webm", &TOptions::WebmProfileFolder, ".webm"},
    {"opus", &TOptions::OpusProfileFolder, ".opus"},
    {"flac", &TOptions::FlacProfileFolder, ".flac"},
    {"m4a", &TOptions::M4aProfileFolder, ".m4a"},
    {"ogg", &TOptions::OggProfileFolder, ".ogg"},
};

using F = OutputFormatKind;

// The order in which the folders are computed and created.
constexpr OutputFormatKind FolderOrder[OutputFormatCount] = {
    F::AVI, F::MP4, F::TGP, F::MPEG, F::MOV, F::WMV, F::RM, F::SWF,
    F::AAC, F::VOB, F::AC3, F::MP2, F::MP3, F::AMR, F::WAV, F::ASF,
    F::MKV, F::WEBM, F::OPUS, F::FLAC, F::M4A, F::OGG};

// The order in which the lists are filled.
constexpr OutputFormatKind ListOrder[OutputFormatCount] = {
    F::AVI, F::MP4, F::TGP, F::MPEG, F::MOV, F::WMV, F::RM, F::SWF,
    F::AAC, F::AC3, F::MP2, F::AMR, F::WAV, F::MP3, F::VOB, F::ASF,
    F::MKV, F::WEBM, F::OPUS, F::FLAC, F::M4A, F::OGG};

// "*" any run of characters, "?" one character; letters compared without regard to case.
bool MatchMask(const std::string& name, const std::string& pattern)
{
    size_t n = 0, p = 0, starP = std::string::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || LowerAscii(pattern[p]) == LowerAscii(name[n]))) {
            ++n;
            ++p;
        } else if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (starP != std::string::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

std::string WithoutExtension(const std::string& fileName)
{
    const size_t dot = fileName.rfind('.');
    return dot == std::string::npos ? fileName : fileName.substr(0, dot);
}

// Names of the regular files in a folder (links to them count); none when
// the folder cannot be read.
std::vector<std::string> RegularFileNames(const std::string& folder)
{
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(fs::path(folder), ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code typeError;
        if (it->is_regular_file(typeError))
            names.push_back(it->path().filename().string());
    }
    return names;
}

} // namespace

std::string ProfileFolderName(int format)
{
    return ValidFormat(format) ? FormatFolders[format].Name : "";
}

std::string FormatOutputExtension(int format)
{
    return ValidFormat(format) ? FormatFolders[format].OutputExtension : "";
}

std::string ProfileExtension(const std::string& folderName)
{
    return folderName.substr(0, 2) + "o";
}

void ComputeProfileFolders()
{
    // "English.ini" -> "English_Profile/" beside it, or in ProfilesFolder
    // when that is set (the user's configuration folder of an installed copy).
    std::string language = LanguageFilePath;
    if (!ProfilesFolder.empty())
        language = ProfilesFolder + fs::path(language).filename().string();
    std::string root = language.substr(0, language.size() >= 4 ? language.size() - 4 : 0) + "_Profile/";
    Options.ProfileRoot = root;
    for (OutputFormatKind kind : FolderOrder) {
        const TFormatFolder& f = FormatFolders[static_cast<int>(kind)];
        Options.*f.Folder = root + f.Name + "/";
    }
}

bool BuildProfileFolders()
{
    ComputeProfileFolders();
    for (OutputFormatKind kind : FolderOrder) {
        const std::string& folder = Options.*FormatFolders[static_cast<int>(kind)].Folder;
        std::error_code ec;
        fs::create_directories(fs::path(folder), ec);
        if (!fs::is_directory(fs::path(folder), ec))
            return false;
    }
    return true;
}

std::string ProfileFolder(int format)
{
    return ValidFormat(format) ? Options.*FormatFolders[format].Folder : "";
}

void FillProfileList(TProfileList& list, const std::string& mask, const std::string& selectName)
{
    list.Items.clear();
    list.ItemIndex = -1;

    const size_t slash = mask.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : mask.substr(0, slash + 1);
    const std::string pattern = slash == std::string::npos ? mask : mask.substr(slash + 1);

    for (const std::string& fileName : RegularFileNames(folder)) {
        if (!MatchMask(fileName, pattern))
            continue;
        std::string name = WithoutExtension(fileName);
        if (!name.empty())
            list.Items.push_back(std::move(name));
    }
    // Directory order is arbitrary on Linux; users expect the names in
    // alphabetical order without regard to case.
    std::sort(list.Items.begin(), list.Items.end(), [](const std::string& a, const std::string& b) {
        const std::string la = LowerAscii(a), lb = LowerAscii(b);
        return la != lb ? la < lb : a < b;
    });
    // "a.avo" and "a.AVO" are one profile name.
    list.Items.erase(std::unique(list.Items.begin(), list.Items.end()), list.Items.end());

    if (list.Items.empty())
        return;
    if (selectName.empty()) {
        SelectPreferredProfile(list, "");
        return;
    }
    list.ItemIndex = FindProfileName(list, selectName);
}

void SelectPreferredProfile(TProfileList& list, const std::string& remembered)
{
    // The sorted list puts the shipped "Default" behind names such as
    // "8-bit mono 22050 Hz"; the first entry is only the last resort.
    int index = remembered.empty() ? -1 : FindProfileName(list, remembered);
    if (index < 0)
        index = FindProfileName(list, DefaultProfileName);
    if (index < 0 && !list.Items.empty())
        index = 0;
    list.ItemIndex = index;
}

int FindProfileName(const TProfileList& list, const std::string& name)
{
    // Names that differ only in letter case, made by earlier versions, are
    // each reached by their own spelling.
    for (size_t i = 0; i < list.Items.size(); ++i)
        if (list.Items[i] == name)
            return static_cast<int>(i);
    for (size_t i = 0; i < list.Items.size(); ++i)
        if (SameTextAscii(list.Items[i], name))
            return static_cast<int>(i);
    return -1;
}

bool RefreshProfileLists()
{
    if (!BuildProfileFolders())
        return false;
    FillEmptyProfileFolders(ShippedProfileRoot(), Options.ProfileRoot);
    if (InstalledMode)
        AddNewShippedProfiles(ShippedProfileRoot(), Options.ProfileRoot);
    for (OutputFormatKind kind : ListOrder) {
        const int format = static_cast<int>(kind);
        FillProfileList(ProfileLists[format],
                        ProfileFolder(format) + "*." + ProfileExtension(ProfileFolderName(format)), "");
        SelectPreferredProfile(ProfileLists[format], Options.LastProfile[format]);
    }
    return true;
}

std::vector<std::string> ProfileFileSpellings(int format, const std::string& name)
{
    std::vector<std::string> files;
    if (!ValidFormat(format) || name.empty())
        return files;
    const std::string folder = ProfileFolder(format);
    const std::string extension = ProfileExtension(ProfileFolderName(format));
    const std::string exact = name + "." + extension;
    for (const std::string& fileName : RegularFileNames(folder))
        if (fileName.size() == exact.size() && fileName.compare(0, name.size() + 1, name + ".") == 0 &&
            LowerAscii(fileName.substr(name.size() + 1)) == extension)
            files.push_back(folder + fileName);
    // The lower-case spelling first, then a fixed order.
    std::sort(files.begin(), files.end(), [&](const std::string& a, const std::string& b) {
        const bool la = a == folder + exact, lb = b == folder + exact;
        return la != lb ? la : a < b;
    });
    return files;
}

std::vector<std::string> ProfileFilesOfName(int format, const std::string& name)
{
    std::vector<std::string> files;
    if (!ValidFormat(format) || name.empty())
        return files;
    const std::string folder = ProfileFolder(format);
    const std::string wanted = LowerAscii(name + "." + ProfileExtension(ProfileFolderName(format)));
    for (const std::string& fileName : RegularFileNames(folder))
        if (LowerAscii(fileName) == wanted)
            files.push_back(folder + fileName);
    std::sort(files.begin(), files.end());
    return files;
}

std::string ProfileFilePath(int format, const std::string& name)
{
    if (!ValidFormat(format))
        return {};
    std::vector<std::string> files = ProfileFileSpellings(format, name);
    if (files.empty()) {
        // The name as spelled on disk, then its file as for that spelling.
        const std::vector<std::string> others = ProfileFilesOfName(format, name);
        if (!others.empty())
            files = ProfileFileSpellings(format, WithoutExtension(FileNamePart(others.front())));
    }
    if (!files.empty())
        return files.front();
    return ProfileFolder(format) + name + "." + ProfileExtension(ProfileFolderName(format));
}

std::string SelectedProfilePath(int format)
{
    if (!ValidFormat(format))
        return {};
    return ProfileFilePath(format, ProfileLists[format].Text());
}

std::string ShippedProfileRoot()
{
    return AppFolder + "shipped/";
}

namespace {

// "<langs>/Deutsch_Profile/" -> "Deutsch_Profile"
std::string ProfileTreeName(std::string profileRoot)
{
    while (!profileRoot.empty() && profileRoot.back() == '/')
        profileRoot.pop_back();
    return fs::path(profileRoot).filename().string();
}

// The shipped profiles of a format folder for a language's tree: its own,
// or the English ones when the language ships none. Returns their folder.
std::string ShippedProfilesOf(const std::string& shippedRoot, const std::string& tree, const std::string& folderName,
                              const std::string& extension, TProfileList& shipped)
{
    std::string source = shippedRoot + tree + "/" + folderName + "/";
    FillProfileList(shipped, source + "*." + extension, "");
    if (shipped.Items.empty()) {
        source = shippedRoot + "English_Profile/" + folderName + "/";
        FillProfileList(shipped, source + "*." + extension, "");
    }
    return source;
}

// Copies the shipped file of Name (its extension in any letter case) to
// Target under the lower-case extension; never over an existing file, which
// is the user's. True when a file was copied.
bool CopyShippedProfile(const std::string& source, const std::string& target, const std::string& name,
                        const std::string& extension)
{
    std::error_code scan;
    for (fs::directory_iterator it(fs::path(source), scan), end; !scan && it != end; it.increment(scan)) {
        const std::string fileName = it->path().filename().string();
        if (fileName.size() != name.size() + 1 + extension.size() ||
            fileName.compare(0, name.size() + 1, name + ".") != 0 ||
            LowerAscii(fileName.substr(name.size() + 1)) != extension)
            continue;
        std::error_code ec;
        fs::create_directories(fs::path(target), ec);
        return fs::copy_file(it->path(), fs::path(target + name + "." + extension), fs::copy_options::skip_existing,
                             ec);
    }
    return false;
}

} // namespace

int FillEmptyProfileFolders(const std::string& shippedRoot, const std::string& profileRoot)
{
    const std::string tree = ProfileTreeName(profileRoot);
    int copied = 0;
    for (OutputFormatKind kind : FolderOrder) {
        const std::string folderName = FormatFolders[static_cast<int>(kind)].Name;
        const std::string extension = ProfileExtension(folderName);
        const std::string target = profileRoot + folderName + "/";
        TProfileList present;
        FillProfileList(present, target + "*." + extension, "");
        if (!present.Items.empty())
            continue;
        TProfileList shipped;
        const std::string source = ShippedProfilesOf(shippedRoot, tree, folderName, extension, shipped);
        for (const std::string& name : shipped.Items)
            if (CopyShippedProfile(source, target, name, extension))
                ++copied;
    }
    return copied;
}

int AddNewShippedProfiles(const std::string& shippedRoot, const std::string& profileRoot)
{
    const std::string tree = ProfileTreeName(profileRoot);
    const std::string recordPath = profileRoot + ShippedRecordFile;

    // The names offered before; read only as a small regular file, since
    // anything may stand under its name in the user's folder.
    std::set<std::string> offered;
    {
        std::istringstream in(ReadRegularFile(recordPath, IniFileSizeLimit).Content);
        for (std::string line; std::getline(in, line);) {
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            if (!line.empty())
                offered.insert(line);
        }
    }
    std::vector<std::string> newlyOffered;
    int copied = 0;
    for (OutputFormatKind kind : FolderOrder) {
        const std::string folderName = FormatFolders[static_cast<int>(kind)].Name;
        const std::string extension = ProfileExtension(folderName);
        TProfileList shipped;
        const std::string source = ShippedProfilesOf(shippedRoot, tree, folderName, extension, shipped);
        const std::string target = profileRoot + folderName + "/";
        TProfileList present;
        FillProfileList(present, target + "*." + extension, "");
        for (const std::string& name : shipped.Items) {
            const std::string key = folderName + "/" + LowerAscii(name);
            if (offered.count(key))
                continue;
            newlyOffered.push_back(key);
            const bool exists = std::any_of(present.Items.begin(), present.Items.end(), [&](const std::string& p) {
                return LowerAscii(p) == LowerAscii(name);
            });
            if (!exists && CopyShippedProfile(source, target, name, extension))
                ++copied;
        }
    }
    if (!newlyOffered.empty()) {
        std::ofstream out(recordPath, std::ios::binary | std::ios::app);
        for (const std::string& key : newlyOffered)
            out << key << "\n";
    }
    return copied;
}

std::string GetOutputExtension()
{
    const int format = Options.OutputFormat;
    if (!ValidFormat(format))
        return {};
    if (format == static_cast<int>(OutputFormatKind::TGP)) {
        LoadTGPSettings(SelectedProfilePath(format));
        return TGPSettings.TGPFormat == 2 ? ".3g2" : ".3gp";
    }
    return FormatFolders[format].OutputExtension;
}
