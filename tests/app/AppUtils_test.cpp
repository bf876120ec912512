#include "app/AppUtils.h"
#include "platform/PowerActions.h"
#include "support/FakePowerActions.h"

#include "support/TempDir.h"

#include <cstdlib>
#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <tuple>
#include <utility>

namespace {

using qvtest::TempDir;
using qvtest::WriteFile;

// ---- Time texts ----

TEST(TimeTextToMs, ReadsEveryFormAndWrapsIn32Bits)
{
    const std::pair<const char*, int64_t> cases[] = {
        {"0:05:00.000", 300000}, {"1:02:03.004", 3723004}, // h:m:s.f
        {"2:30.5", 150005},                                 // m:s.f
        {"1.5", 1005}, {"1.500", 1500}, {".25", 25},        // s.f: the fraction is plain milliseconds
        {"90", 90000},                                      // s
        {"1:30", 90000}, {"1:", 60000},                     // m:s
        {"1:2:3", 3723000}, {"::", 0},                      // h:m:s
        {"99999999999", 0},                                 // a part beyond 32 bits counts as 0
        {"1.2.3", -1}, {"1.2:3", -1}, {"1:2:3:4", -1}, {"abc", -1}, {"1 :30", -1}, {"-5", -1}, {"", -1},
        {"600:00:00", 2160000000LL - 4294967296LL},         // 32-bit sums wrap
        {"2147483.648", -2147483648LL},
    };
    for (const auto& [text, ms] : cases)
        EXPECT_EQ(TimeTextToMs(text), ms) << '"' << text << '"';
}

struct MsCase {
    int64_t ms;
    const char* text;
};

TEST(MsToTimeText, FormatsHoursMinutesSecondsMillis)
{
    const MsCase cases[] = {{0, "0:00:00.000"}, {83450, "0:01:23.450"}, {3723004, "1:02:03.004"},
                            {359999999, "99:59:59.999"}, {360000000, "100:00:00.000"}, {-1500, "-0:00:01.500"}};
    for (const auto& c : cases)
        EXPECT_EQ(MsToTimeText(c.ms), c.text) << c.ms;
}

// ---- Paths and names ----

TEST(PathRoutines, ExtractFileBaseName)
{
    const std::pair<const char*, const char*> cases[] = {
        {"langs/English.ini", "English"},
        {"/opt/q.v/langs/Deutsch", "Deutsch"}, // dot in a folder, none in the name
        {"archive.tar.gz", "archive.tar"},
        {"/x/.hidden", ""},
        {"/x/dir/", ""},
        {"Clip: part 1.mp4", "Clip: part 1"}, // ":" is an ordinary character here
        {"", ""},
    };
    for (const auto& [path, base] : cases)
        EXPECT_EQ(ExtractFileBaseName(path), base) << path;
}

TEST(PathRoutines, AddTrailingBackslashAndReplaceFileName)
{
    EXPECT_EQ(AddTrailingBackslash(""), "/");
    EXPECT_EQ(AddTrailingBackslash("/a/b"), "/a/b/");
    EXPECT_EQ(AddTrailingBackslash("/a/b/"), "/a/b/");

    const std::tuple<const char*, const char*, const char*> cases[] = {
        {"/p/AVI/Old.avo", "New", "/p/AVI/New.avo"},
        {"/p.d/Old", "New", "/p.d/New"}, // the folder's dot is no extension
        {"Old.x.ini", "New", "New.ini"},
        {"/p/", "New", "/p/New"},
        {"/p/.hidden", "New", "/p/New"}, // a leading dot is no extension either
    };
    for (const auto& [path, name, expected] : cases)
        EXPECT_EQ(ReplaceFileName(path, name), expected) << path;
}

TEST(PathRoutines, ValidFileNameRejectsEveryForbiddenCharacter)
{
    for (char c : std::string("\\/:*?\"<>|"))
        EXPECT_FALSE(ValidFileName(std::string("a") + c + "b")) << c;
    EXPECT_FALSE(ValidFileName(""));
    for (const char* bad : {"tab\there", "line\nbreak", "esc\x1b[2J", "del\x7f", "c1\xc2\x9b", "latin1 \xfc",
                            "cut \xc3", "overlong \xc0\xaf"})
        EXPECT_FALSE(ValidFileName(bad)) << bad;
    EXPECT_TRUE(ValidFileName("My profile (2) - high.q"));
    EXPECT_TRUE(ValidFileName("Überprüfung"));
}

TEST(FileRoutines, FileSizeOfAndDeleteIfEmpty)
{
    TempDir dir;
    WriteFile(dir.file("empty"), "");
    WriteFile(dir.file("five"), "12345");
    std::filesystem::create_directory(dir.file("folder"));

    EXPECT_EQ(FileSizeOf(dir.file("missing")), -1);
    EXPECT_EQ(FileSizeOf(dir.file("five")), 5);
    EXPECT_EQ(FileSizeOf(dir.file("empty")), 0);
    EXPECT_EQ(FileSizeOf(dir.file("folder")), 0);

    EXPECT_FALSE(DeleteIfEmpty(dir.file("missing")));
    EXPECT_FALSE(DeleteIfEmpty(dir.file("five")));
    EXPECT_FALSE(DeleteIfEmpty(dir.file("folder")));
    EXPECT_TRUE(DeleteIfEmpty(dir.file("empty")));
    EXPECT_FALSE(std::filesystem::exists(dir.file("empty")));
    EXPECT_TRUE(std::filesystem::exists(dir.file("five")));
    EXPECT_TRUE(std::filesystem::exists(dir.file("folder")));
}

// ---- Special folders ----

// Sets environment variables for one test and puts the old values back.
class ScopedEnv {
public:
    void Set(const char* name, const std::optional<std::string>& value)
    {
        const char* old = std::getenv(name);
        saved_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
        Apply(name, value);
    }
    ~ScopedEnv()
    {
        for (auto it = saved_.rbegin(); it != saved_.rend(); ++it)
            Apply(it->first.c_str(), it->second);
    }

private:
    static void Apply(const char* name, const std::optional<std::string>& v)
    {
        v ? ::setenv(name, v->c_str(), 1) : ::unsetenv(name);
    }
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

TEST(SpecialFolders, PersonalIsTheXdgDocumentsFolder)
{
    TempDir dir;
    const std::string config = dir.dir() + "config";
    struct Case {
        const char* name;
        std::optional<std::string> documentsEnv;
        std::optional<std::string> userDirs; // content of user-dirs.dirs
        std::string expected;
    };
    const Case cases[] = {
        {"environment first", "/srv/docs", "XDG_DOCUMENTS_DIR=\"$HOME/Other\"\n", "/srv/docs"},
        {"home expanded", std::nullopt, "# c\nXDG_DESKTOP_DIR=\"$HOME/Desk\"\nXDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n",
         "/home/tester/Dokumente"},
        {"absolute path", std::nullopt, "XDG_DOCUMENTS_DIR=\"/data/papers\"\n", "/data/papers"},
        {"commented out", std::nullopt, "#XDG_DOCUMENTS_DIR=\"/nope\"\n", "/home/tester"},
        {"relative value ignored", std::nullopt, "XDG_DOCUMENTS_DIR=\"docs\"\n", "/home/tester"},
        {"no file", std::nullopt, std::nullopt, "/home/tester"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all(config);
        if (c.userDirs)
            WriteFile(config + "/user-dirs.dirs", *c.userDirs);
        ScopedEnv env;
        env.Set("HOME", "/home/tester");
        env.Set("XDG_CONFIG_HOME", config);
        env.Set("XDG_DOCUMENTS_DIR", c.documentsEnv);
        EXPECT_EQ(GetSpecialFolder("Personal"), c.expected);
        EXPECT_EQ(GetSpecialFolder("Desktop"), "");
    }
}

TEST(SpecialFolders, UserDirsUnderHomeConfigWhenXdgConfigHomeIsUnset)
{
    TempDir dir;
    WriteFile(dir.dir() + ".config/user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"$HOME/Docs\"\n");
    ScopedEnv env;
    env.Set("HOME", dir.path().string());
    env.Set("XDG_CONFIG_HOME", std::nullopt);
    env.Set("XDG_DOCUMENTS_DIR", std::nullopt);
    EXPECT_EQ(GetSpecialFolder("Personal"), dir.dir() + "Docs");
}

// ---- Power actions (only ever a fake) ----

class TFakePowerActions : public TPowerActions {
public:
    TFakePowerActions(std::vector<std::string>& log, bool grant)
        : log_(log), grant_(grant)
    {
    }
    bool SetPrivilege(const std::string& name, bool enable) override
    {
        log_.push_back(name + (enable ? " on" : " off"));
        return grant_ || !enable;
    }
    std::string EndProgram() override
    {
        log_.push_back("EndProgram");
        return {};
    }
    std::string PowerOff() override
    {
        log_.push_back("PowerOff");
        return {};
    }
    std::string LogOff() override
    {
        log_.push_back("LogOff");
        return {};
    }
    std::string Reboot() override
    {
        log_.push_back("Reboot");
        return {};
    }
    std::string Hibernate() override
    {
        log_.push_back("Hibernate");
        return {};
    }
    std::string Suspend() override
    {
        log_.push_back("Suspend");
        return {};
    }
    std::string CanPerform(int) override { return grant_ ? "yes" : "no"; }

private:
    std::vector<std::string>& log_;
    bool grant_;
};

// Installs a fake for one test and puts back what was in force.
class PowerActionsTest : public testing::Test {
protected:
    void Install(bool grant) { previous_ = SetPowerActions(std::make_unique<TFakePowerActions>(log_, grant)); }
    void TearDown() override
    {
        if (previous_)
            SetPowerActions(std::move(previous_));
    }
    std::vector<std::string> log_;
    std::unique_ptr<TPowerActions> previous_;
};

TEST_F(PowerActionsTest, EachActionReachesItsMethodBetweenPrivilegeOnAndOff)
{
    Install(true);
    const char* methods[] = {"EndProgram", "PowerOff", "LogOff", "Reboot", "Hibernate", "Suspend"};
    log_.clear();
    PerformShutdownAction(0);
    EXPECT_EQ(log_, std::vector<std::string> {"EndProgram"});
    for (int action = 1; action <= 5; ++action) {
        log_.clear();
        PerformShutdownAction(action);
        EXPECT_EQ(log_, (std::vector<std::string> {"SeShutdownPrivilege on", methods[action], "SeShutdownPrivilege off"}))
            << action;
    }
    for (int action : {-1, 6, 255}) {
        log_.clear();
        PerformShutdownAction(action);
        EXPECT_EQ(log_, (std::vector<std::string> {"SeShutdownPrivilege on", "SeShutdownPrivilege off"})) << action;
    }
}

TEST_F(PowerActionsTest, RefusedPrivilegeDoesNothingButClosingStillWorks)
{
    Install(false);
    for (int action = 1; action <= 5; ++action) {
        log_.clear();
        EXPECT_EQ(PerformShutdownAction(action), "logind answers \"no\"") << action; // logind's answer, not silence
        EXPECT_EQ(log_, std::vector<std::string> {"SeShutdownPrivilege on"}) << action;
    }
    log_.clear();
    PerformShutdownAction(0);
    EXPECT_EQ(log_, std::vector<std::string> {"EndProgram"});
}

// Which actions logind offers, and what a refused or failed action reports.
TEST_F(PowerActionsTest, RefusalsAndFailuresCarryLogindsAnswer)
{
    std::vector<std::string> calls;
    previous_ = SetPowerActions(std::make_unique<qvtest::TFakePower>(
        &calls, std::map<int, std::string>{{1, "no"}, {3, "na"}, {4, "challenge"}, {5, "yes"}},
        std::map<int, std::string>{{5, "Failed to suspend system via logind: Access denied"}}));
    struct Case {
        int action;
        const char* refusal; // "" offered
        const char* failure; // "" requested
    } cases[] = {
        {0, "", ""}, // closing the program and logging off ask nobody
        {1, "logind answers \"no\"", ""},
        {2, "", ""},
        {3, "logind answers \"na\"", ""},
        {4, "", ""}, // allowed after authentication
        {5, "", "Failed to suspend system via logind: Access denied"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ShutdownActionRefusal(c.action), c.refusal) << c.action;
        EXPECT_EQ(PerformShutdownAction(c.action), c.failure) << c.action;
    }
    EXPECT_TRUE(PowerActionOffered("yes"));
    EXPECT_TRUE(PowerActionOffered("challenge"));
    for (const char* refused : {"no", "na", "", "logind could not be asked"})
        EXPECT_FALSE(PowerActionOffered(refused)) << refused;
}

TEST_F(PowerActionsTest, DoNothingDefaultIsBackAfterUninstalling)
{
    Install(true);
    SetPowerActions(nullptr);
    EXPECT_FALSE(SetPrivilege("SeShutdownPrivilege", true));
    PerformShutdownAction(1);
    EXPECT_TRUE(log_.empty());
}

} // namespace
