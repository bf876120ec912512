#include "app/DesktopArgs.h"
#include "app/Settings.h"

#include "support/TempDir.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <optional>

namespace {

namespace fs = std::filesystem;
using qvtest::TempDir;
using qvtest::WriteFile;

// Sets an environment variable for one test and puts the old value back.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::optional<std::string>& value) : name_(name)
    {
        if (const char* old = std::getenv(name))
            old_ = old;
        if (value)
            ::setenv(name, value->c_str(), 1);
        else
            ::unsetenv(name);
    }
    ~ScopedEnv()
    {
        if (old_)
            ::setenv(name_, old_->c_str(), 1);
        else
            ::unsetenv(name_);
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

class InstalledModeTest : public testing::Test {
protected:
    void MakeProgramFolder(bool marker)
    {
        WriteFile(app_.file("langs/English.ini"), "[DazadUVI_Convert]\n");
        if (marker)
            WriteFile(app_.file(InstalledMarkerFile), "installed\n");
    }
    TempDir app_;
    TempDir home_;
};

TEST_F(InstalledModeTest, BuildFolderStaysSelfContained)
{
    MakeProgramFolder(false);
    ScopedEnv xdg("XDG_CONFIG_HOME", home_.dir() + "cfg");
    InitApplication(app_.dir());
    EXPECT_FALSE(InstalledMode);
    EXPECT_EQ(ConfigFile, app_.dir() + "config.ini");
    EXPECT_EQ(OptionsFile, app_.dir() + "options.ini");
    EXPECT_EQ(ProfilesFolder, app_.dir() + "langs/");
    EXPECT_EQ(QueueFile, app_.dir() + "queue.db");
    EXPECT_TRUE(StartUpProblem.empty());
    EXPECT_FALSE(fs::exists(home_.dir() + "cfg"));
}

TEST_F(InstalledModeTest, InstalledFolderKeepsSettingsInTheConfigFolder)
{
    MakeProgramFolder(true);
    ScopedEnv xdg("XDG_CONFIG_HOME", home_.dir() + "cfg");
    ScopedEnv state("XDG_STATE_HOME", home_.dir() + "state");
    InitApplication(app_.dir());
    EXPECT_TRUE(InstalledMode);
    // The list is state: it lives apart from the settings.
    EXPECT_EQ(QueueFile, home_.dir() + "state/quorvex/queue.db");
    const std::string data = home_.dir() + "cfg/quorvex/";
    EXPECT_EQ(UserDataFolder, data);
    EXPECT_EQ(ConfigFile, data + "config.ini");
    EXPECT_EQ(OptionsFile, data + "options.ini");
    EXPECT_EQ(ProfilesFolder, data);
    // Language files, help and skins are still read from the program folder.
    EXPECT_EQ(LanguageFilePath, app_.dir() + "langs/English.ini");
    EXPECT_EQ(SkinsFolder, app_.dir() + "skins/");
    EXPECT_TRUE(fs::is_directory(data));
    EXPECT_TRUE(StartUpProblem.empty());

    // Options are written there, never into the program folder.
    LoadOptions();
    EXPECT_TRUE(fs::exists(data + "options.ini"));
    EXPECT_FALSE(fs::exists(app_.dir() + "options.ini"));
}

TEST_F(InstalledModeTest, ConfigHomeRules)
{
    struct Case {
        const char* name;
        std::optional<std::string> xdg;
        std::optional<std::string> home;
        std::string expected; // "" means none
    };
    const std::string h = home_.path().string();
    const Case cases[] = {
        {"absolute XDG_CONFIG_HOME", h + "/x", h, h + "/x/quorvex/"},
        {"XDG_CONFIG_HOME with trailing slash", h + "/x/", h, h + "/x/quorvex/"},
        {"relative XDG_CONFIG_HOME is ignored", std::string("rel/cfg"), h, h + "/.config/quorvex/"},
        {"empty XDG_CONFIG_HOME is ignored", std::string(""), h, h + "/.config/quorvex/"},
        {"unset XDG_CONFIG_HOME", std::nullopt, h, h + "/.config/quorvex/"},
    };
    for (const Case& c : cases) {
        ScopedEnv xdg("XDG_CONFIG_HOME", c.xdg);
        ScopedEnv home("HOME", c.home);
        EXPECT_EQ(UserConfigHome(), c.expected) << c.name;
        // The state folder follows the same rules with its own variable and default.
        ScopedEnv state("XDG_STATE_HOME", c.xdg);
        std::string expectedState = c.expected;
        if (const auto at = expectedState.find("/.config/"); at != std::string::npos)
            expectedState.replace(at, 9, "/.local/state/");
        EXPECT_EQ(UserStateHome(), expectedState) << c.name;
    }
}

TEST_F(InstalledModeTest, MarkerMustBeARegularFile)
{
    WriteFile(app_.file("langs/English.ini"), "");
    fs::create_directories(app_.path() / InstalledMarkerFile);
    ScopedEnv xdg("XDG_CONFIG_HOME", home_.dir() + "cfg");
    InitApplication(app_.dir());
    EXPECT_FALSE(InstalledMode);
}

TEST_F(InstalledModeTest, LanguageNoLongerShippedFallsBackToEnglish)
{
    MakeProgramFolder(true);
    ScopedEnv xdg("XDG_CONFIG_HOME", home_.dir() + "cfg");
    WriteFile(home_.dir() + "cfg/quorvex/config.ini", "[DazadUVI_Form]\nLanguageFile=Gone.ini\n");
    InitApplication(app_.dir());
    EXPECT_EQ(LanguageFilePath, app_.dir() + "langs/English.ini");
    EXPECT_TRUE(StartUpProblem.empty());
    EXPECT_FALSE(fs::exists(app_.dir() + "langs/Gone.ini"));
}

TEST_F(InstalledModeTest, MissingEnglishFileIsRefusedNotWritten)
{
    WriteFile(app_.file(InstalledMarkerFile), "");
    ScopedEnv xdg("XDG_CONFIG_HOME", home_.dir() + "cfg");
    InitApplication(app_.dir());
    EXPECT_NE(StartUpProblem.find("English.ini"), std::string::npos) << StartUpProblem;
    EXPECT_FALSE(fs::exists(app_.dir() + "langs/English.ini"));
}

TEST_F(InstalledModeTest, UncreatableConfigFolderIsReported)
{
    MakeProgramFolder(true);
    WriteFile(home_.file("blocker"), "a file, not a folder");
    ScopedEnv xdg("XDG_CONFIG_HOME", home_.dir() + "blocker");
    InitApplication(app_.dir());
    EXPECT_NE(StartUpProblem.find("settings folder"), std::string::npos) << StartUpProblem;
}

TEST(DesktopArgs, Table)
{
    struct Case {
        std::vector<std::string> args;
        std::vector<std::string> files;
        bool help, list;
        bool error;
    };
    const Case cases[] = {
        {{}, {}, false, false, false},
        {{"a.avi", "b c.mp4"}, {"a.avi", "b c.mp4"}, false, false, false},
        {{"--help"}, {}, true, false, false},
        {{"-h", "x.avi"}, {"x.avi"}, true, false, false},
        {{"--list-and-exit", "x.avi"}, {"x.avi"}, false, true, false},
        {{"--", "-dash.avi", "--help"}, {"-dash.avi", "--help"}, false, false, false},
        {{"-"}, {"-"}, false, false, false},
        {{"--bogus", "x.avi"}, {"x.avi"}, false, false, true},
        {{"-platform", "offscreen"}, {"offscreen"}, false, false, true},
        {{"file:///tmp/a%20b.avi"}, {"file:///tmp/a%20b.avi"}, false, false, false},
        {{""}, {}, false, false, false},
    };
    for (const Case& c : cases) {
        const TDesktopArgs r = ParseDesktopArgs(c.args);
        const std::string what = c.args.empty() ? "(none)" : c.args.front();
        EXPECT_EQ(r.Files, c.files) << what;
        EXPECT_EQ(r.Help, c.help) << what;
        EXPECT_EQ(r.ListAndExit, c.list) << what;
        EXPECT_EQ(!r.Error.empty(), c.error) << what;
    }
    EXPECT_NE(ParseDesktopArgs({"--bogus"}).Error.find("--bogus"), std::string::npos);
}

} // namespace
