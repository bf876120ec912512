#include "app/Settings.h"

#include "app/AppUtils.h"
#include "platform/IniFile.h"

#include <chrono>
#include <clocale>
#include <ctime>
#include <algorithm>
#include <filesystem>
#include <thread>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <pwd.h>
#include <sys/stat.h>
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
bool InstalledMode = false;
std::string UserDataFolder;
std::string QueueFile;
std::string ProfilesFolder;
std::string StartUpProblem;
std::string ConfigFileProblem;

namespace {

const char* const kOptionsSection = "VideoConvertoptions";
const char* const kConfigSection = "DazadUVI_Form";
const char* const kLanguageFileKey = "LanguageFile";
const char* const kDefaultLanguageFile = "English.ini";

// "LastProfile0" ... "LastProfile21", by OutputFormatKind value.
std::string LastProfileKey(int format)
{
    return "LastProfile" + std::to_string(format);
}

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

std::function<std::chrono::system_clock::time_point()> WallClock;
std::function<std::chrono::steady_clock::time_point()> MonotonicClock;

TDateTime MonotonicNow()
{
    using namespace std::chrono;
    const auto now = MonotonicClock ? MonotonicClock() : steady_clock::now();
    return duration<double, std::ratio<86400>>(now.time_since_epoch()).count();
}

TDateTime Now()
{
    using namespace std::chrono;
    const auto now = WallClock ? WallClock() : system_clock::now();
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

namespace {

// The program's folder under an XDG base folder: $VAR when it is absolute (a
// relative one is invalid and ignored), else HOME's Fallback.
std::string XdgFolder(const char* var, const char* fallback)
{
    const char* xdg = std::getenv(var);
    if (xdg && xdg[0] == '/')
        return AddTrailingBackslash(xdg) + "quorvex/";
    std::string home;
    if (const char* h = std::getenv("HOME"); h && h[0] == '/')
        home = h;
    else if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir && pw->pw_dir[0] == '/')
        home = pw->pw_dir;
    if (home.empty())
        return {};
    return AddTrailingBackslash(home) + fallback + "quorvex/";
}

} // namespace

std::string UserConfigHome()
{
    return XdgFolder("XDG_CONFIG_HOME", ".config/");
}

std::string UserStateHome()
{
    return XdgFolder("XDG_STATE_HOME", ".local/state/");
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
    StartUpProblem.clear();
    struct stat st {};
    InstalledMode = ::stat((AppFolder + InstalledMarkerFile).c_str(), &st) == 0 && S_ISREG(st.st_mode);
    UserDataFolder = AppFolder;
    if (InstalledMode) {
        UserDataFolder = UserConfigHome();
        std::error_code ec, typeError;
        if (UserDataFolder.empty())
            StartUpProblem = "No home folder is known (HOME is not set), so there is no place for the settings.";
        else if (!std::filesystem::create_directories(UserDataFolder, ec)
                 && !std::filesystem::is_directory(UserDataFolder, typeError))
            StartUpProblem = "Cannot create the settings folder \"" + UserDataFolder + "\". "
                             + (ec ? ec.message() : std::string(std::strerror(ENOTDIR)));
    }
    ConfigFile = UserDataFolder + "config.ini";
    OptionsFile = UserDataFolder + "options.ini";
    // The list is state, not configuration: an installed program keeps it
    // in the user's state folder (made when the list is first stored).
    QueueFile = InstalledMode ? UserStateHome() : AppFolder;
    if (!QueueFile.empty())
        QueueFile += "queue.db";
    LanguagesFolder = AppFolder + "langs/";
    ProfilesFolder = InstalledMode ? UserDataFolder : LanguagesFolder;
    const TIniFile config(ConfigFile);
    ConfigFileProblem = config.Problem();
    std::string languageFile = config.ReadString(kConfigSection, kLanguageFileKey, kDefaultLanguageFile);
    // An empty value would make the langs folder itself the language file.
    if (languageFile.empty())
        languageFile = kDefaultLanguageFile;
    // The language file is a name in the langs folder. A path ("../x.ini",
    // "a/b.ini") would read, write (a missing language file is written) and
    // create its profile tree outside the program and configuration folders.
    if (languageFile.find('/') != std::string::npos || languageFile == "." || languageFile == "..") {
        ConfigFileProblem = "LanguageFile=\"" + languageFile + "\" is not the name of a file in the langs folder";
        languageFile = kDefaultLanguageFile;
    }
    if (InstalledMode && StartUpProblem.empty()) {
        // The installed folder is never written, so the English file is not
        // recreated there; a language that a newer version no longer ships
        // falls back to English.
        if (::stat((LanguagesFolder + languageFile).c_str(), &st) != 0)
            languageFile = kDefaultLanguageFile;
        if (::stat((LanguagesFolder + languageFile).c_str(), &st) != 0)
            StartUpProblem = "The language file \"" + LanguagesFolder + languageFile
                             + "\" of the installed program is missing. Please reinstall Quorvex.";
    }
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
    Options.SourceToTrash = true;
    Options.ShutdownWindowsWhenDone = false;
    Options.LastInputOpenDir = personal;
    Options.LastOutputOpenDir = personal;
    Options.ShowWindow = true;
    Options.UseDirectShow = false;
    Options.ParallelJobs = 1;
    Options.LastProfile.fill(std::string());
    Options.ClearConvertedFiles = false;
    Options.WindowWidth = 0;
    Options.WindowHeight = 0;
    Options.ListColumns.clear();
    Options.OutputNameTemplate.clear();
    Options.OutputBesideSource = false;
    Options.ExistingOutputs = 0;
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
    // A negative or absurd count falls back to one file at a time.
    const int jobs = ini.ReadInteger(s, "ParallelJobs", Options.ParallelJobs);
    Options.ParallelJobs = jobs >= 0 && jobs <= MaxParallelJobs ? jobs : 1;
    for (int f = 0; f < OutputFormatCount; ++f)
        Options.LastProfile[f] = ini.ReadString(s, LastProfileKey(f), Options.LastProfile[f]);
    Options.ClearConvertedFiles = ini.ReadBool(s, "ClearConvertedFiles", Options.ClearConvertedFiles);
    // A size no screen has is ignored: the window takes the size it needs.
    const int width = ini.ReadInteger(s, "WindowWidth", 0);
    const int height = ini.ReadInteger(s, "WindowHeight", 0);
    const bool sizeOk = width > 0 && width <= 32767 && height > 0 && height <= 32767;
    Options.WindowWidth = sizeOk ? width : 0;
    Options.WindowHeight = sizeOk ? height : 0;
    Options.ListColumns = ini.ReadString(s, "ListColumns", Options.ListColumns);
    Options.OutputNameTemplate = ini.ReadString(s, "OutputNameTemplate", Options.OutputNameTemplate);
    Options.OutputBesideSource = ini.ReadBool(s, "OutputBesideSource", Options.OutputBesideSource);
    // An unknown policy asks, as a missing key does.
    const int existing = ini.ReadInteger(s, "ExistingOutputs", Options.ExistingOutputs);
    Options.ExistingOutputs = static_cast<uint8_t>(existing >= 0 && existing <= 3 ? existing : 0);
    // A file from before this key moves sources to the Trash too: the window
    // says so, and a deleted source cannot be had back.
    Options.SourceToTrash = ini.ReadBool(s, "SourceToTrash", Options.SourceToTrash);
}

int EffectiveJobCount(int parallelJobs)
{
    if (parallelJobs > 0)
        return std::min(parallelJobs, MaxParallelJobs);
    const unsigned cores = std::thread::hardware_concurrency();
    return cores == 0 ? 1 : static_cast<int>(std::min<unsigned>(cores, MaxParallelJobs));
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
    ini.WriteInteger(s, "ParallelJobs", Options.ParallelJobs);
    for (int f = 0; f < OutputFormatCount; ++f)
        ini.WriteString(s, LastProfileKey(f), Options.LastProfile[f]);
    ini.WriteBool(s, "ClearConvertedFiles", Options.ClearConvertedFiles);
    ini.WriteInteger(s, "WindowWidth", Options.WindowWidth);
    ini.WriteInteger(s, "WindowHeight", Options.WindowHeight);
    ini.WriteString(s, "ListColumns", Options.ListColumns);
    ini.WriteString(s, "OutputNameTemplate", Options.OutputNameTemplate);
    ini.WriteBool(s, "OutputBesideSource", Options.OutputBesideSource);
    ini.WriteInteger(s, "ExistingOutputs", Options.ExistingOutputs);
    ini.WriteBool(s, "SourceToTrash", Options.SourceToTrash);
    ini.UpdateFile();
}
