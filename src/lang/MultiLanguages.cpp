#include "lang/MultiLanguages.h"

#include "app/AppUtils.h"
#include "app/Settings.h"
#include "lang/Format.h"
#include "platform/IniFile.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <iostream>
#include <iterator>
#include <utility>
#include <strings.h>
#include <sys/stat.h>

#define QV_TEXT(var, writeKey, readKey, english) std::string var = english;
#include "lang/CatalogueKeys.def"
#include "lang/CatalogueExtraKeys.def"
#undef QV_TEXT

std::string LanguageLocale;
std::vector<std::string> AcceptedFilters;
std::vector<std::string> DirectShowExtensions;

namespace {

const char* const kConvertSection = "DazadUVI_Convert";
const char* const kFilterSection = "DazadUVI_Filters";
const char* const kExtensionSection = "DazadUVI_AVSExt";
const char* const kLocaleKey = "LanguageLocale";
const char* const kHelpSuffix = "_help.html";
const char* const kFallbackHelp = "English_help.html";

std::function<void(const std::string&)>& MessageHandler()
{
    static std::function<void(const std::string&)> handler = [](const std::string& text) {
        std::cerr << text << std::endl;
    };
    return handler;
}

// The two list sections of the shipped English file. The English file written
// when the language file is missing carries them too, so that the next start
// can load it.
const char* const kDefaultExtensions[] = {".rmvb"};
const std::pair<const char*, const char*> kDefaultFilters[] = {
    {"All Media Files",
     "*.avi;*.divx;*.mp4;*.m4v;*.mov;*.qt;*.3gp;*.3g2;*.mpg;*.mpeg;*.mpe;*.m1v;*.m2v;*.vob;*.dat;*.ts;*.mts;*.m2ts;"
     "*.mkv;*.webm;*.flv;*.swf;*.wmv;*.asf;*.rm;*.rmvb;*.ogv;*.dv;*.mxf;*.nut;*.y4m;*.mp3;*.mp2;*.aac;*.m4a;*.ac3;"
     "*.wav;*.wma;*.flac;*.ogg;*.oga;*.opus;*.amr;*.awb;*.aif;*.aiff;*.au;*.mka"},
    {"Video Files",
     "*.avi;*.divx;*.mp4;*.m4v;*.mov;*.qt;*.3gp;*.3g2;*.mpg;*.mpeg;*.mpe;*.m1v;*.m2v;*.vob;*.dat;*.ts;*.mts;*.m2ts;"
     "*.mkv;*.webm;*.flv;*.swf;*.wmv;*.asf;*.rm;*.rmvb;*.ogv;*.dv;*.mxf;*.nut;*.y4m"},
    {"Audio Files", "*.mp3;*.mp2;*.aac;*.m4a;*.ac3;*.wav;*.wma;*.flac;*.ogg;*.oga;*.opus;*.amr;*.awb;*.aif;*.aiff;*.au;*.mka"},
};

std::function<void()>& LoadedHandler()
{
    static std::function<void()> handler;
    return handler;
}

std::string ReplaceAll(std::string s, const std::string& from, const std::string& to)
{
    size_t pos = 0;
    while ((pos = s.find(from, pos)) != std::string::npos) {
        s.replace(pos, from.size(), to);
        pos += to.size();
    }
    return s;
}

} // namespace

const std::vector<TCatalogueEntry>& CatalogueEntries()
{
    static const std::vector<TCatalogueEntry> entries = {
#define QV_TEXT(var, writeKey, readKey, english) {&var, writeKey, readKey, english},
#include "lang/CatalogueKeys.def"
#undef QV_TEXT
    };
    return entries;
}

const std::vector<TCatalogueEntry>& CatalogueExtraEntries()
{
    static const std::vector<TCatalogueEntry> entries = {
#define QV_TEXT(var, writeKey, readKey, english) {&var, writeKey, readKey, english},
#include "lang/CatalogueExtraKeys.def"
#undef QV_TEXT
    };
    return entries;
}

void ResetCatalogue()
{
    for (const auto& e : CatalogueEntries())
        *e.Text = e.English;
    for (const auto& e : CatalogueExtraEntries())
        *e.Text = e.English;
    AcceptedFilters.clear();
    DirectShowExtensions.clear();
    LanguageLocale.clear();
}

std::string DecodeCatalogueText(const std::string& text)
{
    return ReplaceAll(TrimText(text), "#13", "\r\n");
}

std::string EncodeCatalogueText(const std::string& text)
{
    std::string s = ReplaceAll(TrimText(text), "\r\n", "#13");
    s = ReplaceAll(s, "\n", "#13");
    return ReplaceAll(s, "\r", "#13");
}

void SetLanguageMessageHandler(std::function<void(const std::string&)> handler)
{
    MessageHandler() = std::move(handler);
}

void SetLanguageLoadedHandler(std::function<void()> handler)
{
    LoadedHandler() = std::move(handler);
}

std::string LanguageHelpFile(const std::string& languageFilePath)
{
    namespace fs = std::filesystem;
    const fs::path folder = fs::path(languageFilePath).parent_path();
    const fs::path own = folder / (ExtractFileBaseName(languageFilePath) + kHelpSuffix);
    std::error_code ec;
    if (fs::is_regular_file(own, ec))
        return own.string();
    const fs::path english = folder / kFallbackHelp;
    if (fs::is_regular_file(english, ec))
        return english.string();
    return own.string();
}

void WriteDefaultLanguage()
{
    // A missing langs folder is made first, so a bare program folder still starts.
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(LanguageFilePath).parent_path(), ec);
    TIniFile ini(LanguageFilePath);
    for (const auto& e : CatalogueEntries())
        ini.WriteString(kConvertSection, e.WriteKey, EncodeCatalogueText(*e.Text));
    for (size_t i = 0; i < std::size(kDefaultExtensions); ++i)
        ini.WriteString(kExtensionSection, std::to_string(i + 1), kDefaultExtensions[i]);
    for (const auto& [name, patterns] : kDefaultFilters)
        ini.WriteString(kFilterSection, name, patterns);
    ini.UpdateFile();
}

bool LoadLanguage()
{
    struct stat st {};
    if (::stat(LanguageFilePath.c_str(), &st) != 0)
        WriteDefaultLanguage();

    TIniFile ini(LanguageFilePath);
    if (!ini.Problem().empty()) {
        MessageHandler()(FormatText(IDS_MESSAGEBOX_LanguageFileRefused, {LanguageFilePath, ini.Problem()}));
        return false;
    }

    DirectShowExtensions.clear();
    for (int n = 1;; ++n) {
        std::string ext = ini.ReadString(kExtensionSection, std::to_string(n), IDS_None);
        if (ext == IDS_None)
            break;
        DirectShowExtensions.push_back(ext);
    }
    if (DirectShowExtensions.empty()) {
        MessageHandler()(IDS_NoAVSExtersionAllow);
        return false;
    }

    AcceptedFilters = ini.ReadSectionValues(kFilterSection);
    if (AcceptedFilters.empty()) {
        MessageHandler()(IDS_NoInputFilesAllow);
        return false;
    }

    for (const auto& e : CatalogueEntries())
        *e.Text = DecodeCatalogueText(ini.ReadString(kConvertSection, e.ReadKey, *e.Text));
    for (const auto& e : CatalogueExtraEntries())
        *e.Text = DecodeCatalogueText(ini.ReadString(kConvertSection, e.ReadKey, *e.Text));
    // The locale belongs to the file: a file without one leaves Qt's own texts untranslated.
    LanguageLocale = TrimText(ini.ReadString(kConvertSection, kLocaleKey, ""));
    if (LoadedHandler())
        LoadedHandler()();
    return true;
}

TKestMultiLanguages::TKestMultiLanguages(const std::string& folder, const std::string& keyName,
                                         const std::string& sectionName)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    if (!fs::is_directory(folder, ec))
        return;
    // "*.ini" without regard to letter case. Names are taken in alphabetical
    // order (without regard to case) so the menu is the same on every start.
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
        std::error_code fe;
        if (entry.is_directory(fe))
            continue;
        std::string ext = entry.path().extension().string();
        if (strcasecmp(ext.c_str(), ".ini") == 0)
            files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end(), [](const fs::path& a, const fs::path& b) {
        return strcasecmp(a.filename().c_str(), b.filename().c_str()) < 0;
    });
    for (const auto& f : files) {
        const std::string base = ExtractFileBaseName(f.string());
        TIniFile ini(f.string());
        // A language file that would be refused is not offered.
        if (!ini.Problem().empty())
            continue;
        std::string name = ini.ReadString(sectionName, keyName, base);
        if (name.empty())
            name = base;
        paths_.push_back(f.string());
        names_.push_back(name);
    }
}

std::string TKestMultiLanguages::LanguagePath(int index) const
{
    return index >= 0 && index < LanguageCount() ? paths_[static_cast<size_t>(index)] : std::string();
}

std::string TKestMultiLanguages::LanguageDisplayName(int index) const
{
    return index >= 0 && index < LanguageCount() ? names_[static_cast<size_t>(index)] : std::string();
}

void TKestMultiLanguages::SetItemIndex(int index)
{
    if (index >= 0 && index < LanguageCount())
        itemIndex_ = index;
}
