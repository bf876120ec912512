#include "app/Settings.h"
#include "platform/IniFile.h"

#include "support/TempDir.h"

#include <chrono>
#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <tuple>

namespace {

using qvtest::ReadFile;
using qvtest::TempDir;
using qvtest::WriteFile;

const std::string kDocs = "/home/tester/Documents";

// A temporary program folder with the documents folder taken from the
// environment; the previous value is put back afterwards.
class SettingsTest : public testing::Test {
protected:
    void SetUp() override
    {
        const char* old = std::getenv("XDG_DOCUMENTS_DIR");
        if (old)
            oldDocs_ = old;
        hadDocs_ = old != nullptr;
        ::setenv("XDG_DOCUMENTS_DIR", kDocs.c_str(), 1);
        InitApplication(app_.path().string());
        Options = TOptions {};
    }
    void TearDown() override
    {
        if (hadDocs_)
            ::setenv("XDG_DOCUMENTS_DIR", oldDocs_.c_str(), 1);
        else
            ::unsetenv("XDG_DOCUMENTS_DIR");
    }
    TempDir app_;
    std::string oldDocs_;
    bool hadDocs_ = false;
};

TEST_F(SettingsTest, InitApplicationDerivesEveryPath)
{
    const std::string a = app_.dir();
    EXPECT_EQ(AppFolder, a);
    EXPECT_EQ(ConfigFile, a + "config.ini");
    EXPECT_EQ(OptionsFile, a + "options.ini");
    EXPECT_EQ(LanguagesFolder, a + "langs/");
    EXPECT_EQ(LanguageFilePath, a + "langs/English.ini");
    EXPECT_EQ(SkinsFolder, a + "skins/");
    EXPECT_EQ(HelpFile, a + "langs/English_help.chm");
    EXPECT_EQ(ApplicationTitle, "Quorvex");
    EXPECT_FALSE(std::filesystem::exists(ConfigFile)); // reading creates nothing
}

TEST_F(SettingsTest, LanguageFileFromConfig)
{
    const std::tuple<const char*, const char*, bool> cases[] = {
        {"[DazadUVI_Form]\nLanguageFile=Deutsch.ini\n", "Deutsch", false},
        {"[dazaduvi_form]\nlanguagefile = \"Fran.cais.ini\"\n", "Fran.cais", false},
        {"[DazadUVI_Form]\nLanguageFile=\n", "English", false}, // empty: the default
        {"[Other]\nLanguageFile=Deutsch.ini\n", "English", false},
        {"[DazadUVI_Form]\nLanguageFile=..hidden.ini\n", "..hidden", false},
        // Anything but a plain name would reach outside the langs folder.
        {"[DazadUVI_Form]\nLanguageFile=../../outside.ini\n", "English", true},
        {"[DazadUVI_Form]\nLanguageFile=sub/Deutsch.ini\n", "English", true},
        {"[DazadUVI_Form]\nLanguageFile=/tmp/x.ini\n", "English", true},
        {"[DazadUVI_Form]\nLanguageFile=..\n", "English", true},
        {"[DazadUVI_Form]\nLanguageFile=.\n", "English", true},
    };
    for (const auto& [config, base, refused] : cases) {
        WriteFile(app_.file("config.ini"), config);
        InitApplication(app_.dir());
        EXPECT_EQ(LanguageFilePath, app_.dir() + "langs/" + base + ".ini") << config;
        EXPECT_EQ(HelpFile, app_.dir() + "langs/" + base + "_help.chm") << config;
        EXPECT_EQ(ConfigFileProblem.empty(), !refused) << config << ConfigFileProblem;
        if (refused) {
            EXPECT_NE(ConfigFileProblem.find("LanguageFile="), std::string::npos) << ConfigFileProblem;
        }
    }
}

TEST_F(SettingsTest, NumbersUseADotWhateverTheLocale)
{
    std::setlocale(LC_NUMERIC, "");
    InitApplication(app_.dir());
    EXPECT_STREQ(std::setlocale(LC_NUMERIC, nullptr), "C");
    EXPECT_DOUBLE_EQ(std::strtod("12.5", nullptr), 12.5);
}

TEST_F(SettingsTest, RunningProgramFolderHoldsThisProgram)
{
    const std::string folder = RunningProgramFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), '/');
    EXPECT_TRUE(std::filesystem::exists(folder + "test_app"));
}

TEST_F(SettingsTest, FirstStartWritesTheDefaults)
{
    LoadOptions();
    EXPECT_EQ(ReadFile(OptionsFile), "[VideoConvertoptions]\n"
                                     "OutputFormat=0\n"
                                     "LastInputOpenDir=" + kDocs + "\n"
                                     "LastOutputOpenDir=" + kDocs + "\n"
                                     "Priority=1\n"
                                     "ShutdownFlag=1\n"
                                     "DeleteFileAfterProcessing=0\n"
                                     "ShutdownWindowsWhenDone=0\n"
                                     "ShowWindow=1\n"
                                     "UseDirectShow=0\n"
                                     "ParallelJobs=1\n"
                                     "LastProfile0=\nLastProfile1=\nLastProfile2=\nLastProfile3=\n"
                                     "LastProfile4=\nLastProfile5=\nLastProfile6=\nLastProfile7=\n"
                                     "LastProfile8=\nLastProfile9=\nLastProfile10=\nLastProfile11=\n"
                                     "LastProfile12=\nLastProfile13=\nLastProfile14=\nLastProfile15=\n"
                                     "LastProfile16=\nLastProfile17=\nLastProfile18=\nLastProfile19=\n"
                                     "LastProfile20=\nLastProfile21=\n"
                                     "ClearConvertedFiles=0\nWindowWidth=0\nWindowHeight=0\nListColumns=\n"
                                     "OutputNameTemplate=\n"
                                     "OutputBesideSource=0\n"
                                     "ExistingOutputs=0\n"
                                     "SourceToTrash=1\n");
    EXPECT_EQ(Options.EncoderFile, "avcore.dll");
    EXPECT_TRUE(Options.ShowWindow);
}

TEST_F(SettingsTest, SaveAndLoadRoundTrip)
{
    LoadOptions();
    Options.OutputFormat = static_cast<uint8_t>(OutputFormatKind::MP3);
    Options.LastInputOpenDir = "/media/in folder/\xC3\xBC";
    Options.LastOutputOpenDir = "/media/out";
    Options.Priority = 3;
    Options.ShutdownFlag = 5;
    Options.DeleteFileAfterProcessing = Options.ShutdownWindowsWhenDone = Options.UseDirectShow = true;
    Options.ShowWindow = false;
    Options.ParallelJobs = 0;
    Options.LastProfile[0] = "H.264 high quality";
    Options.LastProfile[15] = "16-bit stereo \xC3\xBC";
    Options.ClearConvertedFiles = true;
    Options.WindowWidth = 1000;
    Options.WindowHeight = 700;
    Options.ListColumns = "300,200,70,70,150";
    Options.OutputNameTemplate = "{artist}/{album}/{track} {title}";
    Options.OutputBesideSource = true;
    Options.ExistingOutputs = 3;
    SaveOptions();
    const TOptions saved = Options;
    Options = TOptions {};
    LoadOptions();
    EXPECT_EQ(std::tie(Options.OutputFormat, Options.LastInputOpenDir, Options.LastOutputOpenDir, Options.Priority,
                       Options.ShutdownFlag, Options.ShutdownWindowsWhenDone, Options.DeleteFileAfterProcessing,
                       Options.ShowWindow, Options.UseDirectShow, Options.ParallelJobs),
              std::tie(saved.OutputFormat, saved.LastInputOpenDir, saved.LastOutputOpenDir, saved.Priority,
                       saved.ShutdownFlag, saved.ShutdownWindowsWhenDone, saved.DeleteFileAfterProcessing,
                       saved.ShowWindow, saved.UseDirectShow, saved.ParallelJobs));
    EXPECT_EQ(Options.LastProfile, saved.LastProfile);
    EXPECT_EQ(std::tie(Options.ClearConvertedFiles, Options.WindowWidth, Options.WindowHeight, Options.ListColumns),
              std::tie(saved.ClearConvertedFiles, saved.WindowWidth, saved.WindowHeight, saved.ListColumns));
    EXPECT_EQ(std::tie(Options.OutputNameTemplate, Options.OutputBesideSource, Options.ExistingOutputs),
              std::tie(saved.OutputNameTemplate, saved.OutputBesideSource, saved.ExistingOutputs));
    // The remembered profiles follow the keys that were there before.
    const std::string text = ReadFile(OptionsFile);
    EXPECT_LT(text.find("ParallelJobs="), text.find("LastProfile0=H.264 high quality\n"));
    EXPECT_LT(text.find("LastProfile9="), text.find("LastProfile10="));
}

struct StoredCase {
    const char* name;
    const char* lines; // the section's lines
    std::function<void(const TOptions&)> check;
};

TEST_F(SettingsTest, StoredValuesAreReadByTheKeyRules)
{
    const StoredCase cases[] = {
        {"8 is VOB", "OutputFormat=8", [](const TOptions& o) { EXPECT_EQ(o.OutputFormat, uint8_t(OutputFormatKind::VOB)); }},
        {"9 is ASF", "OutputFormat=9", [](const TOptions& o) { EXPECT_EQ(o.OutputFormat, uint8_t(OutputFormatKind::ASF)); }},
        {"kept in 8 bits", "OutputFormat=258", [](const TOptions& o) { EXPECT_EQ(o.OutputFormat, 2); }},
        {"a newer format", "OutputFormat=20", [](const TOptions& o) { EXPECT_EQ(o.OutputFormat, 20); }},
        {"out of range stays", "OutputFormat=22", [](const TOptions& o) { EXPECT_EQ(o.OutputFormat, 22); }},
        {"hex", "OutputFormat=0x0D", [](const TOptions& o) { EXPECT_EQ(o.OutputFormat, 13); }},
        {"an unknown existing-output policy asks", "ExistingOutputs=4\nOutputBesideSource=1",
         [](const TOptions& o) {
             EXPECT_EQ(o.ExistingOutputs, 0);
             EXPECT_TRUE(o.OutputBesideSource);
         }},
        {"not numbers give defaults", "OutputFormat=mp3\nPriority=high\nShowWindow=yes\nShutdownFlag=",
         [](const TOptions& o) {
             EXPECT_EQ(o.OutputFormat, 0);
             EXPECT_EQ(o.Priority, 1);
             EXPECT_TRUE(o.ShowWindow);
             EXPECT_EQ(o.ShutdownFlag, 1);
         }},
        {"flags: any non-zero", "UseDirectShow=7\nShowWindow=0\nDeleteFileAfterProcessing=-1",
         [](const TOptions& o) {
             EXPECT_TRUE(o.UseDirectShow);
             EXPECT_FALSE(o.ShowWindow);
             EXPECT_TRUE(o.DeleteFileAfterProcessing);
         }},
        // A file from before the Trash: the window's box now says Trash, so
        // the missing key moves sources there rather than deleting them.
        {"sources: Trash when the key is missing", "DeleteFileAfterProcessing=1",
         [](const TOptions& o) { EXPECT_TRUE(o.SourceToTrash); }},
        {"sources: deleted for good", "DeleteFileAfterProcessing=1\nSourceToTrash=0",
         [](const TOptions& o) { EXPECT_FALSE(o.SourceToTrash); }},
        {"jobs: a count", "ParallelJobs=4", [](const TOptions& o) { EXPECT_EQ(o.ParallelJobs, 4); }},
        {"jobs: 0 is one per core", "ParallelJobs=0", [](const TOptions& o) { EXPECT_EQ(o.ParallelJobs, 0); }},
        {"jobs: negative gives 1", "ParallelJobs=-2", [](const TOptions& o) { EXPECT_EQ(o.ParallelJobs, 1); }},
        {"jobs: beyond the limit gives 1", "ParallelJobs=65", [](const TOptions& o) { EXPECT_EQ(o.ParallelJobs, 1); }},
        {"jobs: not a number gives 1", "ParallelJobs=many", [](const TOptions& o) { EXPECT_EQ(o.ParallelJobs, 1); }},
        {"remembered profiles by format number", "LastProfile15=Default\nLastProfile3=DVD\nLastProfile21=x\nLastProfile22=y",
         [](const TOptions& o) {
             EXPECT_EQ(o.LastProfile[15], "Default");
             EXPECT_EQ(o.LastProfile[21], "x");
             EXPECT_EQ(o.LastProfile[3], "DVD");
             EXPECT_EQ(o.LastProfile[0], "");
         }},
        {"window size and columns", "WindowWidth=1000\nWindowHeight=700\nListColumns=1,2",
         [](const TOptions& o) {
             EXPECT_EQ(o.WindowWidth, 1000);
             EXPECT_EQ(o.WindowHeight, 700);
             EXPECT_EQ(o.ListColumns, "1,2");
             EXPECT_FALSE(o.ClearConvertedFiles);
         }},
        {"a size without its other half, or no screen's, is ignored", "WindowWidth=1000",
         [](const TOptions& o) { EXPECT_EQ(std::pair(o.WindowWidth, o.WindowHeight), std::pair(0, 0)); }},
        {"a negative size is ignored", "WindowWidth=-5\nWindowHeight=600",
         [](const TOptions& o) { EXPECT_EQ(std::pair(o.WindowWidth, o.WindowHeight), std::pair(0, 0)); }},
        {"converted files cleared", "ClearConvertedFiles=1",
         [](const TOptions& o) { EXPECT_TRUE(o.ClearConvertedFiles); }},
        {"missing keys give defaults", "Priority=0",
         [](const TOptions& o) {
             EXPECT_EQ(o.Priority, 0);
             EXPECT_EQ(o.LastInputOpenDir, kDocs);
             EXPECT_EQ(o.LastOutputOpenDir, kDocs);
             EXPECT_FALSE(o.ShutdownWindowsWhenDone);
             EXPECT_EQ(o.ParallelJobs, 1);
             EXPECT_EQ(o.LastProfile[7], "");
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WriteFile(OptionsFile, std::string("[VideoConvertoptions]\n") + c.lines + "\n");
        Options = TOptions {};
        Options.Priority = 77; // LoadOptions must put the defaults in first
        Options.ParallelJobs = 9;
        Options.LastProfile.fill("stale");
        LoadOptions();
        c.check(Options);
    }
}

TEST_F(SettingsTest, SaveIntoMissingFolderRaises)
{
    InitApplication(app_.dir() + "not/there");
    EXPECT_THROW(LoadOptions(), EIniWriteError);
    EXPECT_EQ(Options.LastOutputOpenDir, kDocs); // defaults stay in force
    EXPECT_THROW(SaveOptions(), EIniWriteError);
}

// An options.ini that is not a small regular file is not read: the defaults
// stay in force, the reason is kept for the windows to show, and no save ever
// replaces it. A link to a regular file is read and written through.
TEST_F(SettingsTest, RefusedOptionsFileGivesDefaultsAndIsNeverWritten)
{
    const std::string armed = "[VideoConvertoptions]\nDeleteFileAfterProcessing=1\nPriority=3\n";
    const std::string huge = armed + std::string(1024 * 1024, ';') + "\n";
    struct Case {
        const char* name;
        std::function<void()> make;
        const char* problem;
    } cases[] = {
        {"named pipe", [] { ASSERT_EQ(::mkfifo(OptionsFile.c_str(), 0644), 0); }, "it is not a regular file (a named pipe)"},
        {"link to /dev/zero", [] { std::filesystem::create_symlink("/dev/zero", OptionsFile); }, "it is not a regular file (a device)"},
        {"folder", [] { std::filesystem::create_directory(OptionsFile); }, "it is not a regular file (a folder)"},
        {"beyond 1 MiB", [&] { WriteFile(OptionsFile, huge); }, "it is larger than 1 MiB"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all(OptionsFile);
        c.make();
        Options = TOptions {};
        LoadOptions();
        EXPECT_EQ(OptionsFileProblem, c.problem);
        EXPECT_FALSE(Options.DeleteFileAfterProcessing);
        EXPECT_EQ(Options.Priority, 1);
        Options.Priority = 2;
        EXPECT_THROW(SaveOptions(), EIniWriteError);
        std::error_code ec;
        if (std::string(c.name) == "beyond 1 MiB")
            EXPECT_EQ(ReadFile(OptionsFile), huge);
        else
            EXPECT_FALSE(std::filesystem::is_regular_file(std::filesystem::symlink_status(OptionsFile, ec)));
    }

    // A link to a regular file is an ordinary options.ini.
    std::filesystem::remove_all(OptionsFile);
    const std::string real = app_.file("real-options.ini");
    WriteFile(real, armed);
    std::filesystem::create_symlink(real, OptionsFile);
    LoadOptions();
    EXPECT_EQ(OptionsFileProblem, "");
    EXPECT_TRUE(Options.DeleteFileAfterProcessing);
    Options.Priority = 0;
    SaveOptions();
    EXPECT_TRUE(std::filesystem::is_symlink(OptionsFile));
    EXPECT_NE(ReadFile(real).find("Priority=0"), std::string::npos);
}

TEST(Now, CountsDaysFrom1899December30)
{
    using namespace std::chrono;
    const std::time_t t = std::time(nullptr);
    const TDateTime now = Now();
    std::tm local {};
    localtime_r(&t, &local);
    const auto date = year(local.tm_year + 1900) / (local.tm_mon + 1) / local.tm_mday;
    const auto days = (sys_days(date) - sys_days(year(1899) / 12 / 30)).count();
    const double hours = (now - static_cast<int64_t>(now)) * 24.0;
    // A second of slack around midnight.
    if (local.tm_hour == 23 && local.tm_min == 59 && local.tm_sec == 59)
        GTEST_SKIP();
    EXPECT_EQ(static_cast<int64_t>(now), days);
    EXPECT_NEAR(hours, local.tm_hour + local.tm_min / 60.0 + local.tm_sec / 3600.0, 2.0 / 3600.0);
}

} // namespace
