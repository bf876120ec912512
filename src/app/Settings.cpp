#include "app/Settings.h"

#include "app/AppUtils.h"
#include "platform/IniFile.h"

#include <chrono>
#include <clocale>
#include <ctime>
#include <filesystem>
#include <unistd.h>

TOptions Options;

std::string AppFolder;
std::string ConfigFile;
std::string OptionsFile;
std::string LanguagesFolder;
std::string LanguageFilePath;
std::string SkinsFolder;
std::string HelpFile;
std::string ApplicationTitle = "Quorvex";
std::string OptionsFileProblem;

namespace {

const char* const kOptionsSection = "VideoConvertoptions";
const char* const kConfigSection = "DazadUVI_Form";
const char* const kLanguageFileKey = "LanguageFile";
const char* const kDefaultLanguageFile = "English.ini";

// Days from 1970-01-01 to the civil date y-m-d (proleptic Gregorian calendar).
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

// 1899-12-30, day 0 of TDateTime, counted from 1970-01-01.
constexpr int64_t kDateTimeEpochOffset = -25569;

} // namespace

TDateTime Now()
{
    using namespace std::chrono;
    const auto now = system_clock::now();
    const std::time_t secs = system_clock::to_time_t(now);
    const auto millis = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm local {};
    localtime_r(&secs, &local);
    const int64_t days = DaysFromCivil(local.tm_year + 1900, static_cast<unsigned>(local.tm_mon + 1),
                                       static_cast<unsigned>(local.tm_mday)) - kDateTimeEpochOffset;
    const double dayMs = ((local.tm_hour * 60.0 + local.tm_min) * 60.0 + local.tm_sec) * 1000.0 + double(millis);
    return double(days) + dayMs / 86400000.0;
}

std::string RunningProgramFolder()
{
    std::error_code ec;
    std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec || exe.empty())
        return AddTrailingBackslash(std::filesystem::current_path(ec).string());
    return AddTrailingBackslash(exe.parent_path().string());
}

void InitApplication()
{
    InitApplication(RunningProgramFolder());
}

void InitApplication(const std::string& appFolder)
{
    // Numbers are written and read with "." whatever the user's locale says.
    std::setlocale(LC_NUMERIC, "C");

    AppFolder = AddTrailingBackslash(appFolder);
    ConfigFile = AppFolder + "config.ini";
    OptionsFile = AppFolder + "options.ini";
    LanguagesFolder = AppFolder + "langs/";
    std::string languageFile = TIniFile(ConfigFile).ReadString(kConfigSection, kLanguageFileKey, kDefaultLanguageFile);
    // An empty value would make the langs folder itself the language file.
    if (languageFile.empty())
        languageFile = kDefaultLanguageFile;
    LanguageFilePath = LanguagesFolder + languageFile;
    SkinsFolder = AppFolder + "skins/";
    HelpFile = LanguagesFolder + ExtractFileBaseName(languageFile) + "_help.chm";
}

void LoadOptions()
{
    const std::string personal = GetSpecialFolder("Personal");
    Options.OutputFormat = 0;
    Options.EncoderFile = "avcore.dll";
    Options.Priority = 1;
    Options.ShutdownFlag = 1;
    Options.DeleteFileAfterProcessing = false;
    Options.ShutdownWindowsWhenDone = false;
    Options.LastInputOpenDir = personal;
    Options.LastOutputOpenDir = personal;
    Options.ShowWindow = true;
    Options.UseDirectShow = false;
    OptionsFileProblem.clear();

    std::error_code ec;
    if (!std::filesystem::exists(OptionsFile, ec))
        SaveOptions();

    // Each key falls back to the value in force; integers are kept in the
    // field's 8 bits. A file that is refused (not a regular file, too large)
    // leaves every default in force, and SaveOptions never replaces it.
    const TIniFile ini(OptionsFile);
    OptionsFileProblem = ini.Problem();
    const std::string s = kOptionsSection;
    Options.OutputFormat = static_cast<uint8_t>(ini.ReadInteger(s, "OutputFormat", Options.OutputFormat));
    Options.LastInputOpenDir = ini.ReadString(s, "LastInputOpenDir", Options.LastInputOpenDir);
    Options.LastOutputOpenDir = ini.ReadString(s, "LastOutputOpenDir", Options.LastOutputOpenDir);
    Options.Priority = static_cast<uint8_t>(ini.ReadInteger(s, "Priority", Options.Priority));
    Options.ShutdownFlag = static_cast<uint8_t>(ini.ReadInteger(s, "ShutdownFlag", Options.ShutdownFlag));
    Options.DeleteFileAfterProcessing = ini.ReadBool(s, "DeleteFileAfterProcessing", Options.DeleteFileAfterProcessing);
    Options.ShutdownWindowsWhenDone = ini.ReadBool(s, "ShutdownWindowsWhenDone", Options.ShutdownWindowsWhenDone);
    Options.ShowWindow = ini.ReadBool(s, "ShowWindow", Options.ShowWindow);
    Options.UseDirectShow = ini.ReadBool(s, "UseDirectShow", Options.UseDirectShow);
}

void SaveOptions()
{
    TIniFile ini(OptionsFile);
    const std::string s = kOptionsSection;
    ini.WriteInteger(s, "OutputFormat", Options.OutputFormat);
    ini.WriteString(s, "LastInputOpenDir", Options.LastInputOpenDir);
    ini.WriteString(s, "LastOutputOpenDir", Options.LastOutputOpenDir);
    ini.WriteInteger(s, "Priority", Options.Priority);
    ini.WriteInteger(s, "ShutdownFlag", Options.ShutdownFlag);
    ini.WriteBool(s, "DeleteFileAfterProcessing", Options.DeleteFileAfterProcessing);
    ini.WriteBool(s, "ShutdownWindowsWhenDone", Options.ShutdownWindowsWhenDone);
    ini.WriteBool(s, "ShowWindow", Options.ShowWindow);
    ini.WriteBool(s, "UseDirectShow", Options.UseDirectShow);
    ini.UpdateFile();
}
