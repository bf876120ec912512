// The profile commands of quorvex-cli run as a program on a copy of the
// built program folder in a temporary folder.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "support/EndToEnd.h"

using namespace qvtest;
namespace fs = std::filesystem;

namespace {

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

class CliProfiles : public ProgramFolderTest {
protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(CopyProgram());
        avi = app + "langs/English_Profile/avi/";
        WriteOptions("OutputFormat=0\n");
    }

    // The profile's file as --show-profile prints it.
    std::string Show(const std::string& name)
    {
        const RunResult r = Run({"-f", "avi", "--show-profile", "-p", name});
        EXPECT_EQ(r.Code, 0) << r.Err;
        return r.Out;
    }

    std::string avi;
};

TEST_F(CliProfiles, AddedProfileConvertsAClipWithTheSettingsAsked)
{
    const std::string clip = tmp.file("clip.avi");
    if (!MakeClip(clip, "160x120", 15, "1.5"))
        GTEST_SKIP() << "ffmpeg cannot make the sample clip";

    const RunResult add = Run({"-f", "avi", "--add-profile", "Small TV", "--set", "VideoCodec=0", "--set",
                          "VideoSizeUseSourceDivX=0", "--set", "VideoWidthDivX=320", "--set", "VideoHeightDivX=0xF0",
                          "--set", "VideoKeepFrameRateDivX=0", "--set", "VideoFrameRateDivX=7", "--set", "AudioCodec=1",
                          "--set", "AudioSampleRateMp3=2", "--set", "AudioChannelsMp3=0"});
    ASSERT_EQ(add.Code, 0) << add.Err;
    EXPECT_TRUE(fs::exists(avi + "Small TV.avo"));

    const std::string out = tmp.dir() + "converted/";
    fs::create_directories(out);
    const RunResult convert = Run({"-f", "avi", "-p", "Small TV", "-o", out, "-y", clip});
    ASSERT_EQ(convert.Code, 0) << convert.Out << convert.Err;
    const std::string facts = tmp.file("facts");
    ASSERT_EQ(std::system(("ffprobe -v error -show_entries stream=codec_name,width,height,r_frame_rate,sample_rate,"
                           "channels -of default=noprint_wrappers=1 " + Quoted(out + "clip.avi") + " > " + Quoted(facts))
                              .c_str()),
              0);
    const std::string f = ReadFile(facts);
    EXPECT_CONTAINS(f, "codec_name=msmpeg4v3"); // "DivX (mpeg4)" is the encoder's msmpeg4
    EXPECT_CONTAINS(f, "width=320");
    EXPECT_CONTAINS(f, "height=240");
    EXPECT_CONTAINS(f, "r_frame_rate=25/1");
    EXPECT_CONTAINS(f, "codec_name=mp3");
    EXPECT_CONTAINS(f, "sample_rate=44100");
    EXPECT_CONTAINS(f, "channels=1");
}

TEST_F(CliProfiles, ShowPrintsAValidProfileFileWithEveryKey)
{
    WriteFile(avi + "Sparse.avo", "[General]\nVideoWidthDivX=0x140\n");
    const std::string shown = Show("Sparse");
    const std::vector<std::string> lines = Lines(shown);
    ASSERT_GT(lines.size(), 100u);
    EXPECT_EQ(lines[0], "[General]");
    EXPECT_EQ(lines[1].rfind("Description=", 0), 0u);
    EXPECT_CONTAINS(shown, "\nVideoWidthDivX=320\n");
    EXPECT_CONTAINS(shown, "\nVideoHeightDivX=480\n"); // a default filled in
    // Read back as a profile file it shows the same.
    const std::string copy = tmp.file("copy.avo");
    WriteFile(copy, shown);
    const RunResult again = Run({"-f", "avi", "--show-profile", "--profile-file", copy});
    EXPECT_EQ(again.Code, 0);
    EXPECT_EQ(again.Out, shown);
}

TEST_F(CliProfiles, AddRefusesAnExistingNameUnlessYes)
{
    WriteFile(avi + "Mine.avo", "[General]\nDescription=mine\n");
    RunResult r = Run({"-f", "avi", "--add-profile", "Mine", "--set", "Description=new"});
    EXPECT_EQ(r.Code, 2);
    EXPECT_CONTAINS(r.Err, "-y");
    EXPECT_EQ(ReadFile(avi + "Mine.avo"), "[General]\nDescription=mine\n");
    r = Run({"-f", "avi", "-y", "--add-profile", "Mine", "--set", "Description=new"});
    EXPECT_EQ(r.Code, 0) << r.Err;
    EXPECT_CONTAINS(Show("Mine"), "Description=new\n");
}

TEST_F(CliProfiles, EditChangesOnlyTheGivenKeys)
{
    const std::string before = Show("Default");
    const RunResult r = Run({"-f", "AVI", "--edit-profile", "Default", "--set", "VideoBitRatePresetDivX=1500", "--set",
                        "StartTime=0:00:01.000"});
    ASSERT_EQ(r.Code, 0) << r.Err;
    const std::vector<std::string> a = Lines(before), b = Lines(Show("Default"));
    ASSERT_EQ(a.size(), b.size());
    std::set<std::string> changed;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i] != b[i])
            changed.insert(b[i]);
    EXPECT_EQ(changed, (std::set<std::string>{"VideoBitRatePresetDivX=1500", "StartTime=0:00:01.000"}));
}

TEST_F(CliProfiles, RenameNeverReplacesAndTakesDashedNamesAfterDoubleDash)
{
    const std::string defaultText = ReadFile(avi + "Default.avo");
    WriteFile(avi + "Mine.avo", "[General]\nDescription=mine\n");
    RunResult r = Run({"-f", "avi", "--rename-profile", "Mine", "Default"});
    EXPECT_EQ(r.Code, 2);
    EXPECT_CONTAINS(r.Err, "Rename faild!");
    EXPECT_EQ(ReadFile(avi + "Mine.avo"), "[General]\nDescription=mine\n");
    EXPECT_EQ(ReadFile(avi + "Default.avo"), defaultText);

    r = Run({"-f", "avi", "--rename-profile", "Mine", "--", "-mine"});
    EXPECT_EQ(r.Code, 0) << r.Err;
    EXPECT_FALSE(fs::exists(avi + "Mine.avo"));
    EXPECT_EQ(ReadFile(avi + "-mine.avo"), "[General]\nDescription=mine\n");
    r = Run({"-f", "avi", "--delete-profile", "--", "-mine"});
    EXPECT_EQ(r.Code, 0) << r.Err;
    EXPECT_FALSE(fs::exists(avi + "-mine.avo"));
}

TEST_F(CliProfiles, DeleteKeepsTheLastProfile)
{
    const std::string mp3 = app + "langs/English_Profile/mp3/";
    fs::remove_all(mp3);
    WriteFile(mp3 + "Only.mpo", "[General]\n");
    const RunResult r = Run({"-f", "mp3", "--delete-profile", "only"});
    EXPECT_EQ(r.Code, 2);
    EXPECT_CONTAINS(r.Err, "This is the last profile, can not be deleted!");
    EXPECT_TRUE(fs::exists(mp3 + "Only.mpo"));
}

TEST_F(CliProfiles, RefusalsNameTheKeyAndExitTwo)
{
    struct TCase {
        std::vector<std::string> Args;
        const char* ErrorPart;
    } cases[] = {
        {{"--add-profile", "X", "--set", "NoSuchKey=1"}, "NoSuchKey"},
        {{"--add-profile", "X", "--set", "VideoCodec=11"}, "VideoCodec"},
        {{"--add-profile", "X", "--set", "VideoWidthDivX=1601"}, "VideoWidthDivX"},
        {{"--add-profile", "X", "--set", "VideoHeightDivX=1"}, "VideoHeightDivX"},
        {{"--add-profile", "X", "--set", "EnableTimeControl=on"}, "EnableTimeControl"},
        {{"--add-profile", "X", "--set", "Duration=1 minute"}, "Duration"},
        {{"--add-profile", "X", "--set", "Description=two\nlines"}, "Description"},
        {{"--add-profile", "X", "--set", "VideoBitRatePresetDivX=fast"}, "VideoBitRatePresetDivX"},
        {{"--add-profile", "a:b"}, "not a valid profile name"},
        {{"--add-profile", "   "}, "not a valid profile name"},
        {{"--rename-profile", "Default", "x?"}, "not a valid profile name"},
        {{"--rename-profile", "Nope", "x"}, "no AVI profile named \"Nope\""},
        {{"--edit-profile", "Default"}, "--set"},
        {{"--set", "Description=x"}, "--set"},
        {{"--rename-profile", "Default"}, "needs a value"},
        {{"--delete-profile", "Default", "some.avi"}, "takes no FILE"},
    };
    const std::string before = ReadFile(avi + "Default.avo");
    for (const TCase& c : cases) {
        std::vector<std::string> args = {"-f", "avi"};
        args.insert(args.end(), c.Args.begin(), c.Args.end());
        const RunResult r = Run(args);
        EXPECT_EQ(r.Code, 2) << c.Args[0] << " " << c.ErrorPart;
        EXPECT_CONTAINS(r.Err, c.ErrorPart);
    }
    EXPECT_FALSE(fs::exists(avi + "X.avo"));
    EXPECT_EQ(ReadFile(avi + "Default.avo"), before);
}

TEST_F(CliProfiles, AFileThatCannotBeWrittenExitsOne)
{
    WriteFile(avi + "Blocked.avo/inside", ""); // a folder where the file would go
    const RunResult r = Run({"-f", "avi", "-y", "--add-profile", "Blocked", "--set", "Description=x"});
    EXPECT_EQ(r.Code, 1) << r.Err;
    EXPECT_CONTAINS(r.Err, "Unable to write to");
    EXPECT_TRUE(fs::is_directory(avi + "Blocked.avo"));
}

TEST_F(CliProfiles, CapitalsExtensionIsUsedByEveryCommand)
{
    WriteFile(avi + "Fast.AVO", "[General]\nDescription=capitals\nVideoBitRatePresetDivX=512\n");
    RunResult r = Run({"-f", "avi", "--list-profiles"});
    EXPECT_CONTAINS(r.Out, "Fast\n");
    EXPECT_CONTAINS(Show("Fast"), "Description=capitals\n");
    const RunResult byName = Run({"-f", "avi", "-p", "Fast", "--print-options"});
    const RunResult byFile = Run({"-f", "avi", "--profile-file", avi + "Fast.AVO", "--print-options"});
    EXPECT_EQ(byName.Code, 0);
    EXPECT_EQ(byName.Out, byFile.Out); // the batch loads the real file
    r = Run({"-f", "avi", "--edit-profile", "Fast", "--set", "Description=edited"});
    EXPECT_EQ(r.Code, 0) << r.Err;
    EXPECT_CONTAINS(ReadFile(avi + "Fast.AVO"), "Description=edited");
    EXPECT_FALSE(fs::exists(avi + "Fast.avo"));
    r = Run({"-f", "avi", "--rename-profile", "Fast", "Quick"});
    EXPECT_EQ(r.Code, 0) << r.Err;
    EXPECT_TRUE(fs::exists(avi + "Quick.avo"));
    EXPECT_FALSE(fs::exists(avi + "Fast.AVO"));
}

TEST_F(CliProfiles, EmptyFormatFolderIsFilledFromTheShippedCopy)
{
    const std::string mp3 = app + "langs/English_Profile/mp3/";
    fs::remove_all(mp3);
    const RunResult r = Run({"-f", "mp3", "--list-profiles"});
    EXPECT_EQ(r.Code, 0) << r.Err;
    EXPECT_CONTAINS(r.Out, "Default\n");
    for (const auto& entry : fs::directory_iterator(app + "shipped/English_Profile/mp3"))
        EXPECT_EQ(ReadFile(mp3 + entry.path().filename().string()), ReadFile(entry.path().string()));
}

} // namespace
