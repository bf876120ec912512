// The command line of quorvex-cli and the file checks that need no media.

#include <gtest/gtest.h>

#include "cli/CliApp.h"
#include "cli/CliArgs.h"

using namespace qvcli;

namespace {

struct GoodCase {
    const char* Name;
    std::vector<std::string> Args;
    TCliAction Action;
    int Format; // -1: not given
    const char* Profile;
    const char* ProfileFile;
    const char* Output;
    bool Yes;
    bool DeleteSource;
    std::vector<std::string> Files;
    bool CopyFitting = false;
};

void PrintTo(const GoodCase& c, std::ostream* os)
{
    *os << c.Name;
}

class GoodArguments : public ::testing::TestWithParam<GoodCase> {};

TEST_P(GoodArguments, AreParsed)
{
    const GoodCase& c = GetParam();
    std::string error;
    const auto parsed = ParseArguments(c.Args, error);
    ASSERT_TRUE(parsed) << error;
    EXPECT_EQ(parsed->Action, c.Action);
    EXPECT_EQ(parsed->Format.value_or(-1), c.Format);
    EXPECT_EQ(parsed->Profile.value_or("<unset>"), c.Profile ? c.Profile : "<unset>");
    EXPECT_EQ(parsed->ProfileFile.value_or("<unset>"), c.ProfileFile ? c.ProfileFile : "<unset>");
    EXPECT_EQ(parsed->OutputDir.value_or("<unset>"), c.Output ? c.Output : "<unset>");
    EXPECT_EQ(parsed->Yes, c.Yes);
    EXPECT_EQ(parsed->DeleteSource, c.DeleteSource);
    EXPECT_EQ(parsed->Files, c.Files);
    EXPECT_EQ(parsed->CopyFitting, c.CopyFitting);
}

INSTANTIATE_TEST_SUITE_P(
    Cli, GoodArguments,
    ::testing::Values(
        GoodCase{"plain_files", {"a.avi", "b.avi"}, TCliAction::Convert, -1, nullptr, nullptr, nullptr, false, false,
                 {"a.avi", "b.avi"}},
        GoodCase{"short_options_with_separate_values",
                 {"-f", "mp3", "-p", "High", "-o", "/out", "-y", "x.wav"},
                 TCliAction::Convert, 13, "High", nullptr, "/out", true, false, {"x.wav"}},
        GoodCase{"short_options_with_attached_values",
                 {"-f3gp", "-pLow", "-o/out dir", "x.avi"},
                 TCliAction::Convert, 2, "Low", nullptr, "/out dir", false, false, {"x.avi"}},
        GoodCase{"long_options_with_equals",
                 {"--format=WaV", "--profile=a=b", "--output=/o", "--yes", "--delete-source", "x.avi"},
                 TCliAction::Convert, 15, "a=b", nullptr, "/o", true, true, {"x.avi"}},
        GoodCase{"double_dash_ends_options",
                 {"-y", "--", "-lead.avi", "--info", "-f"},
                 TCliAction::Convert, -1, nullptr, nullptr, nullptr, true, false, {"-lead.avi", "--info", "-f"}},
        GoodCase{"value_may_begin_with_a_dash", {"-o", "-odd", "x"}, TCliAction::Convert, -1, nullptr, nullptr,
                 "-odd", false, false, {"x"}},
        GoodCase{"info", {"--info", "a", "b"}, TCliAction::Info, -1, nullptr, nullptr, nullptr, false, false,
                 {"a", "b"}},
        GoodCase{"print_options_needs_no_file", {"--print-options", "-f", "amr"}, TCliAction::PrintOptions, 14,
                 nullptr, nullptr, nullptr, false, false, {}},
        GoodCase{"list_profiles", {"--list-profiles", "--format", "Vob"}, TCliAction::ListProfiles, 8, nullptr,
                 nullptr, nullptr, false, false, {}},
        GoodCase{"copy_fitting_into_a_newer_format", {"-f", "WebM", "--copy-fitting", "x.mkv"}, TCliAction::Convert, 17,
                 nullptr, nullptr, nullptr, false, false, {"x.mkv"}, true},
        GoodCase{"help_wins_over_missing_files", {"--list-profiles", "x", "--help"}, TCliAction::Help, -1, nullptr,
                 nullptr, nullptr, false, false, {"x"}}),
    [](const auto& info) { return std::string(info.param.Name); });

struct BadCase {
    std::vector<std::string> Args;
    const char* ErrorPart;
};

TEST(BadArguments, AreRefusedWithTheReason)
{
    const BadCase cases[] = {
        {{}, "no FILE"},
        {{"-y", "--delete-source"}, "no FILE"},
        {{"--bogus", "a"}, "unknown option '--bogus'"},
        {{"-x", "a"}, "unknown option '-x'"},
        {{"a", "-f"}, "option -f needs a value"},
        {{"a", "--output"}, "option --output needs a value"},
        {{"-f", "mka", "a"}, "unknown format 'mka'"},
        {{"--copy-fitting=1", "a"}, "option --copy-fitting takes no value"},
        {{"-f", "", "a"}, "unknown format ''"},
        {{"--yes=1", "a"}, "option --yes takes no value"},
        {{"--info=x", "a"}, "option --info takes no value"},
        {{"--info", "--list-profiles"}, "--info and --list-profiles cannot be combined"},
        {{"--print-options", "--print-commands", "a"}, "--print-options and --print-commands cannot be combined"},
        {{"--list-profiles", "a"}, "--list-profiles takes no FILE"},
        {{"--print-options", "a"}, "--print-options takes no FILE"},
        {{"--print-commands"}, "no FILE"},
        {{"-p", "x", "--profile-file", "y", "a"}, "--profile and --profile-file cannot be combined"},
        {{"--delete-source", "--trash-source", "a"}, "--delete-source and --trash-source cannot be combined"},
        {{"--rename-profile", "old"}, "option --rename-profile needs a value"},
        {{"--delete-profile", "--"}, "option --delete-profile needs a value"},
        {{"--add-profile", "a", "--delete-profile", "b"}, "--add-profile and --delete-profile cannot be combined"},
        {{"--add-profile", "a", "--set", "NoEquals"}, "--set needs KEY=VALUE"},
        {{"--add-profile", "a", "--set", "=1"}, "--set needs KEY=VALUE"},
        {{"--set", "A=1", "x.avi"}, "--set needs --add-profile or --edit-profile"},
        {{"--edit-profile", "a"}, "--edit-profile needs at least one --set"},
        {{"--delete-profile", "a", "-p", "b"}, "leave out -p"},
        {{"--show-profile=1"}, "option --show-profile takes no value"},
        {{"-j", "x", "a"}, "option -j needs the number of files to convert at once, 0 (one per processor core) to 64, not 'x'"},
        {{"-j", "-1", "a"}, "not '-1'"},
        {{"-j", "+2", "a"}, "not '+2'"},
        {{"--jobs=65", "a"}, "option --jobs needs the number of files"},
        {{"-j", "", "a"}, "not ''"},
        {{"-j", "2x", "a"}, "not '2x'"},
        {{"-j", "0x10", "a"}, "not '0x10'"},
        {{"-j", "99999999999", "a"}, "not '99999999999'"},
        {{"a", "-j"}, "option -j needs a value"},
        {{"--shard", "0/3", "a"}, "--shard needs K/N, the K-th of N shares (1 <= K <= N <= 10000), not '0/3'"},
        {{"--shard", "4/3", "a"}, "not '4/3'"},
        {{"--shard", "x/2", "a"}, "not 'x/2'"},
        {{"--shard", "1/0", "a"}, "not '1/0'"},
        {{"--shard", "3", "a"}, "not '3'"},
        {{"--shard=1/10001", "a"}, "not '1/10001'"},
        {{"--shard", "1/ 2", "a"}, "not '1/ 2'"},
        {{"--shard", "+1/2", "a"}, "not '+1/2'"},
        {{"--shard", "1/2/3", "a"}, "not '1/2/3'"},
        {{"--shard", "/", "a"}, "not '/'"},
        {{"--shard", "99999999999/2", "a"}, "not '99999999999/2'"},
        {{"a", "--shard"}, "option --shard needs a value"},
        {{"--report", "", "a"}, "--report needs a file name"},
        {{"--shard", "1/2", "--info", "a"}, "--shard applies to a conversion only, not to --info"},
        {{"--report", "r", "--print-commands", "a"}, "--report applies to a conversion only"},
        {{"--existing", "Skip", "a"}, "option --existing needs ask, skip, overwrite or number, not 'Skip'"},
        {{"--existing=", "a"}, "not ''"},
        {{"a", "--name"}, "option --name needs a value"},
        {{"-rx", "a"}, "option -r takes no value"},
        {{"--same-folder", "-o", "/out", "a"}, "--same-folder and --output cannot be combined"},
        {{"--loudness", "-4", "a"}, "--loudness needs off, ebu (-23 LUFS), podcast (-16), streaming (-14) or a target from -70 to -5 LUFS, not '-4'"},
        {{"--loudness=-70.1", "a"}, "not '-70.1'"},
        {{"--loudness", "loud", "a"}, "not 'loud'"},
        {{"--loudness", "-1e1", "a"}, "not '-1e1'"},
        {{"--loudness", "nan", "a"}, "not 'nan'"},
        {{"--loudness", "", "a"}, "not ''"},
        {{"a", "--loudness"}, "option --loudness needs a value"},
        {{"--true-peak", "0.1", "a"}, "--true-peak needs a ceiling from -9 to 0 dBTP, not '0.1'"},
        {{"--true-peak", "-9.5", "a"}, "not '-9.5'"},
        {{"--true-peak", "inf", "a"}, "not 'inf'"},
        {{"--measure-loudness"}, "no FILE"},
        {{"--measure-loudness", "--info", "a"}, "--measure-loudness and --info cannot be combined"},
    };
    for (const BadCase& c : cases) {
        std::string error;
        std::string shown;
        for (const auto& a : c.Args)
            shown += "[" + a + "]";
        EXPECT_FALSE(ParseArguments(c.Args, error)) << shown;
        EXPECT_NE(error.find(c.ErrorPart), std::string::npos) << shown << " gave: " << error;
    }
}

TEST(PlaceArguments, FoldersNamesAndExistingOutputs)
{
    struct {
        std::vector<std::string> Args;
        bool Recursive, SameFolder;
        std::optional<std::string> Name;
        std::optional<int> Existing;
    } cases[] = {
        {{"a.wav"}, false, false, std::nullopt, std::nullopt}, // the stored settings apply
        {{"-r", "dir"}, true, false, std::nullopt, std::nullopt},
        {{"--recursive", "--same-folder", "dir"}, true, true, std::nullopt, std::nullopt},
        {{"--name", "{artist}/{title}", "a"}, false, false, "{artist}/{title}", std::nullopt},
        {{"--name=", "a"}, false, false, "", std::nullopt}, // the source's name again
        {{"--existing", "ask", "a"}, false, false, std::nullopt, 0},
        {{"--existing=skip", "a"}, false, false, std::nullopt, 1},
        {{"--existing", "overwrite", "-y", "a"}, false, false, std::nullopt, 2},
        {{"--existing", "number", "a"}, false, false, std::nullopt, 3},
    };
    for (const auto& c : cases) {
        std::string error;
        const auto parsed = ParseArguments(c.Args, error);
        ASSERT_TRUE(parsed) << error;
        EXPECT_EQ(parsed->Recursive, c.Recursive) << c.Args.front();
        EXPECT_EQ(parsed->SameFolder, c.SameFolder) << c.Args.front();
        EXPECT_EQ(parsed->NameTemplate, c.Name) << c.Args.front();
        EXPECT_EQ(parsed->Existing, c.Existing) << c.Args.front();
    }
}

TEST(JobsArgument, TakesZeroOrACountInEveryOptionForm)
{
    struct {
        std::vector<std::string> Args;
        std::optional<int> Jobs;
    } cases[] = {
        {{"a.wav"}, std::nullopt}, // the stored option applies
        {{"-j", "2", "a.wav"}, 2},
        {{"-j0", "a.wav"}, 0},
        {{"--jobs=64", "a.wav"}, 64},
        {{"--jobs", "007", "a.wav"}, 7},
        {{"-j", "3", "-j", "1", "a.wav"}, 1}, // the last one counts
    };
    for (const auto& c : cases) {
        std::string error;
        const auto parsed = ParseArguments(c.Args, error);
        ASSERT_TRUE(parsed) << error;
        EXPECT_EQ(parsed->Jobs, c.Jobs) << c.Args.front();
        EXPECT_EQ(parsed->Files, std::vector<std::string>{"a.wav"});
    }
}

TEST(ShardArgument, TakesEveryShareUpToTheLimit)
{
    struct {
        std::vector<std::string> Args;
        int Index, Count;
    } cases[] = {
        {{"--shard", "1/1", "a.wav"}, 1, 1},
        {{"--shard=3/3", "a.wav"}, 3, 3},
        {{"--shard", "007/010", "a.wav"}, 7, 10},
        {{"--shard", "10000/10000", "a.wav"}, 10000, 10000},
        {{"--shard", "1/2", "--report", "r.jsonl", "a.wav"}, 1, 2},
    };
    for (const auto& c : cases) {
        std::string error;
        const auto parsed = ParseArguments(c.Args, error);
        ASSERT_TRUE(parsed && parsed->Shard) << error;
        EXPECT_EQ(parsed->Shard->Index, c.Index) << c.Args[1];
        EXPECT_EQ(parsed->Shard->Count, c.Count) << c.Args[1];
        EXPECT_EQ(parsed->Files, std::vector<std::string>{"a.wav"});
    }
}

TEST(LoudnessArguments, NamesAndNumbersBecomeTenths)
{
    struct {
        std::vector<std::string> Args;
        bool Given;
        std::optional<int32_t> Loudness; // none: off (when given)
        std::optional<int32_t> TruePeak;
    } cases[] = {
        {{"a.wav"}, false, std::nullopt, std::nullopt}, // the profile's settings apply
        {{"--loudness", "off", "a.wav"}, true, std::nullopt, std::nullopt},
        {{"--loudness=EBU", "a.wav"}, true, -230, std::nullopt},
        {{"--loudness", "r128", "a.wav"}, true, -230, std::nullopt},
        {{"--loudness", "podcast", "a.wav"}, true, -160, std::nullopt},
        {{"--loudness", "Streaming", "a.wav"}, true, -140, std::nullopt},
        {{"--loudness", "-70", "a.wav"}, true, -700, std::nullopt},
        {{"--loudness", "-5", "--true-peak", "0", "a.wav"}, true, -50, 0},
        {{"--loudness", "-18.25", "--true-peak=-9", "a.wav"}, true, -183, -90}, // rounded to tenths
        {{"--true-peak", "-1.5", "a.wav"}, false, std::nullopt, -15},
        {{"--loudness", "-16", "--loudness", "off", "a.wav"}, true, std::nullopt, std::nullopt}, // the last one counts
    };
    for (const auto& c : cases) {
        std::string error;
        const auto parsed = ParseArguments(c.Args, error);
        ASSERT_TRUE(parsed) << c.Args.front() << ": " << error;
        EXPECT_EQ(parsed->LoudnessGiven, c.Given) << c.Args.front();
        EXPECT_EQ(parsed->Loudness, c.Loudness) << c.Args.front();
        EXPECT_EQ(parsed->TruePeak, c.TruePeak) << c.Args.front();
    }
    std::string error;
    const auto measure = ParseArguments({"--measure-loudness", "a.wav", "b.mp3"}, error);
    ASSERT_TRUE(measure) << error;
    EXPECT_EQ(measure->Action, TCliAction::MeasureLoudness);
    EXPECT_EQ(measure->Files, (std::vector<std::string>{"a.wav", "b.mp3"}));
}

TEST(ProfileArguments, NamesAndSettingsAreTakenAsGiven)
{
    struct {
        std::vector<std::string> Args;
        TCliAction Action;
        std::string Name, NewName;
        std::vector<std::string> Settings; // "key|value"
    } cases[] = {
        {{"--rename-profile", "Old", "New"}, TCliAction::RenameProfile, "Old", "New", {}},
        {{"--rename-profile", "--", "-old", "--", "-new"}, TCliAction::RenameProfile, "-old", "-new", {}},
        {{"--rename-profile=Old", "New"}, TCliAction::RenameProfile, "Old", "New", {}},
        {{"--delete-profile", "-x"}, TCliAction::DeleteProfile, "-x", "", {}},
        {{"--add-profile", "A b", "--set", "Description=x=y", "--set=VideoCodec=0x2"},
         TCliAction::AddProfile, "A b", "", {"Description|x=y", "VideoCodec|0x2"}},
        {{"--edit-profile", "A", "--set", "Description="}, TCliAction::EditProfile, "A", "", {"Description|"}},
        {{"--show-profile", "-p", "A"}, TCliAction::ShowProfile, "", "", {}},
    };
    for (const auto& c : cases) {
        std::string error;
        const auto parsed = ParseArguments(c.Args, error);
        ASSERT_TRUE(parsed) << c.Args[0] << ": " << error;
        EXPECT_EQ(parsed->Action, c.Action);
        EXPECT_EQ(parsed->ProfileName, c.Name);
        EXPECT_EQ(parsed->NewName, c.NewName);
        std::vector<std::string> settings;
        for (const TFieldSetting& s : parsed->Settings)
            settings.push_back(s.Key + "|" + s.Value);
        EXPECT_EQ(settings, c.Settings);
    }
}

TEST(FormatNames, AreTheFormatsInStoredOrder)
{
    const std::pair<const char*, int> known[] = {{"avi", 0},  {"MP4", 1},  {"3Gp", 2},  {"mpeg", 3}, {"MOV", 4},
                                                 {"wmv", 5},  {"rm", 6},   {"swf", 7},  {"vob", 8},  {"asf", 9},
                                                 {"aac", 10}, {"ac3", 11}, {"mp2", 12}, {"mp3", 13}, {"amr", 14},
                                                 {"wav", 15}, {"MKV", 16}, {"WebM", 17}, {"opus", 18}, {"Flac", 19},
                                                 {"m4a", 20}, {"OGG", 21}};
    for (const auto& [name, value] : known)
        EXPECT_EQ(FormatFromName(name).value_or(-1), value) << name;
    for (const char* unknown : {"mpg", "3g2", "", "avi ", "flac ", "oga", "mka"})
        EXPECT_FALSE(FormatFromName(unknown)) << unknown;
}

} // namespace
