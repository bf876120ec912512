// The profile commands of quorvex-cli run as a program on a copy of the
// built program folder in a temporary folder.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <sys/stat.h>

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
    EXPECT_CONTAINS(shown, "\nKeepTags=1\n");        // every record's key, last
    // Without "Keep tags" the encoder is told to write no tags.
    ASSERT_EQ(Run({"-f", "avi", "--edit-profile", "Sparse", "--set", "KeepTags=0"}).Code, 0);
    const RunResult options = Run({"-f", "avi", "-p", "Sparse", "--print-options"});
    EXPECT_CONTAINS(options.Out, "-map_metadata -1");
    EXPECT_CONTAINS(Show("Sparse"), "\nKeepTags=0\n");
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
    EXPECT_CONTAINS(r.Err, "Rename failed!");
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
    EXPECT_CONTAINS(r.Err, "This is the last profile; it cannot be deleted!");
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
        {{"--add-profile", "X", "--set", "VideoBitRatePresetDivX=-1"}, "VideoBitRatePresetDivX"},
        {{"--add-profile", "X", "--set", "VideoBitRateSpecifyDivX=0"}, "VideoBitRateSpecifyDivX"},
        {{"--add-profile", "X", "--set", "AudioBitRatePresetMp3=-0x80"}, "AudioBitRatePresetMp3"},
        {{"--edit-profile", "Default", "--set", "VideoBitRateSpecifyH264=100001"}, "VideoBitRateSpecifyH264"},
        {{"--add-profile", "tab\there"}, "not a valid profile name"},
        {{"--add-profile", "esc\x1b[2J"}, "not a valid profile name"},
        {{"--add-profile", "latin1 \xe9"}, "not a valid profile name"},
        {{"--rename-profile", "Default", "line\nbreak"}, "not a valid profile name"},
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

// A profile name is one name whatever its letter case: add refuses it
// without -y and replaces that very file with -y; -p, edit, rename and delete
// reach the same file; a rename onto the same name changes nothing.
TEST_F(CliProfiles, ProfileNameIsOneNameWhateverItsLetterCase)
{
    RunResult r = Run({"-f", "avi", "--add-profile", "default", "--set", "Description=lower"});
    EXPECT_EQ(r.Code, 2) << r.Out;
    EXPECT_CONTAINS(r.Err, avi + "Default.avo");
    EXPECT_CONTAINS(r.Err, "-y");
    EXPECT_FALSE(fs::exists(avi + "default.avo"));

    r = Run({"-f", "avi", "-y", "--add-profile", "default", "--set", "Description=lower"});
    EXPECT_EQ(r.Code, 0) << r.Err;
    EXPECT_CONTAINS(r.Out, "Saved AVI profile \"Default\" as " + avi + "Default.avo");
    EXPECT_FALSE(fs::exists(avi + "default.avo"));
    EXPECT_CONTAINS(ReadFile(avi + "Default.avo"), "Description=lower\n");

    r = Run({"-f", "avi", "--edit-profile", "DEFAULT", "--set", "VideoBitRatePresetDivX=1500"});
    EXPECT_EQ(r.Code, 0) << r.Err;
    EXPECT_CONTAINS(ReadFile(avi + "Default.avo"), "VideoBitRatePresetDivX=1500\n");
    const RunResult options = Run({"-f", "avi", "-p", "dEfAuLt", "--print-options"});
    EXPECT_EQ(options.Code, 0) << options.Err;
    EXPECT_EQ(options.Out, Run({"-f", "avi", "--profile-file", avi + "Default.avo", "--print-options"}).Out);

    // The same name again: no change, no error.
    const std::string before = ReadFile(avi + "Default.avo");
    r = Run({"-f", "avi", "--rename-profile", "Default", "Default"});
    EXPECT_EQ(r.Code, 0) << r.Err;
    EXPECT_EQ(ReadFile(avi + "Default.avo"), before);
    // A change of letter case renames that one file.
    r = Run({"-f", "avi", "--rename-profile", "Default", "default"});
    EXPECT_EQ(r.Code, 0) << r.Err;
    EXPECT_FALSE(fs::exists(avi + "Default.avo"));
    EXPECT_EQ(ReadFile(avi + "default.avo"), before);
    // Another profile cannot take the name in another letter case.
    WriteFile(avi + "Mine.avo", "[General]\nDescription=mine\n");
    r = Run({"-f", "avi", "--rename-profile", "Mine", "DEFAULT"});
    EXPECT_EQ(r.Code, 2);
    EXPECT_CONTAINS(r.Err, "Rename failed!");
    EXPECT_TRUE(fs::exists(avi + "Mine.avo"));
    EXPECT_FALSE(fs::exists(avi + "DEFAULT.avo"));
    r = Run({"-f", "avi", "--delete-profile", "DeFault"});
    EXPECT_EQ(r.Code, 0) << r.Err;
    EXPECT_FALSE(fs::exists(avi + "default.avo"));
}

// Two names that differ only in letter case, made by an earlier version,
// stay listed and each is reached by its own spelling.
TEST_F(CliProfiles, CasePairsOfEarlierVersionsAreEachReachedByTheirOwnSpelling)
{
    WriteFile(avi + "Pair.avo", "[General]\nDescription=capital\n");
    WriteFile(avi + "pair.avo", "[General]\nDescription=small\n");
    const RunResult list = Run({"-f", "avi", "--list-profiles"});
    EXPECT_CONTAINS(list.Out, "Pair\npair\n");
    EXPECT_CONTAINS(Show("Pair"), "Description=capital\n");
    EXPECT_CONTAINS(Show("pair"), "Description=small\n");
    RunResult r = Run({"-f", "avi", "--edit-profile", "pair", "--set", "Description=edited"});
    EXPECT_EQ(r.Code, 0) << r.Err;
    EXPECT_CONTAINS(ReadFile(avi + "pair.avo"), "Description=edited\n");
    EXPECT_EQ(ReadFile(avi + "Pair.avo"), "[General]\nDescription=capital\n");
    r = Run({"-f", "avi", "-y", "--add-profile", "Pair", "--set", "Description=added"});
    EXPECT_EQ(r.Code, 0) << r.Err;
    EXPECT_CONTAINS(ReadFile(avi + "Pair.avo"), "Description=added\n");
    EXPECT_CONTAINS(ReadFile(avi + "pair.avo"), "Description=edited\n");
    r = Run({"-f", "avi", "--delete-profile", "pair"});
    EXPECT_EQ(r.Code, 0) << r.Err;
    EXPECT_FALSE(fs::exists(avi + "pair.avo"));
    EXPECT_TRUE(fs::exists(avi + "Pair.avo"));
}

// A profile that is no profile text or holds a value its format cannot use
// is never converted with the defaults instead: each file fails naming the
// profile, the key and the reason; --print-options and --show-profile exit 2.
TEST_F(CliProfiles, UnusableProfileFailsTheFileAndIsNeverTheDefaults)
{
    const std::string wav = tmp.file("tone.wav");
    if (!MakeMedia(JoinArgs({SineTone("1"), {wav}})))
        GTEST_SKIP() << "ffmpeg cannot make the sample tone";
    const std::string mp3 = app + "langs/English_Profile/mp3/";
    const std::string good = "[General]\r\nDescription=MP3 320 kbps\r\nAudioBitRatePresetMp3=320\r\n";
    std::string utf16 = "\xFF\xFE";
    for (char c : good)
        utf16 += std::string{c, '\0'};
    struct TCase {
        const char* Name;
        std::string Content;
        const char* Key; // "" for the file as a whole
        const char* Reason;
    } cases[] = {
        {"UTF-16", utf16, "", "it is UTF-16 text"},
        {"binary", std::string("[General]\n\0\0\x01\x02", 14), "", "binary"},
        {"huge", good + ";" + std::string(1024 * 1024, 'x') + "\n", "", "larger than 1 MiB"},
        {"index", "[General]\nAudioCodec=-1\n", "AudioCodec", "list position"},
        {"bitrate", "[General]\nAudioBitRatePresetMp3=-320\n", "AudioBitRatePresetMp3", "bitrate"},
        {"channels", "[General]\nAudioChannelsMp3=0x1FF\n", "AudioChannelsMp3", "0x1FF"},
    };
    const std::string out = tmp.dir() + "out/";
    fs::create_directories(out);
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        const std::string profile = mp3 + "Hand.mpo";
        WriteFile(profile, c.Content);
        const std::string message = "The profile \"" + profile + "\" cannot be used: ";

        RunResult r = Run({"-f", "mp3", "-p", "Hand", "-o", out, "-y", wav});
        EXPECT_EQ(r.Code, 1) << r.Out << r.Err;
        EXPECT_CONTAINS(r.Err, "Failed: " + wav);
        EXPECT_CONTAINS(r.Err, message);
        EXPECT_CONTAINS(r.Err, c.Key);
        EXPECT_CONTAINS(r.Err, c.Reason);
        EXPECT_FALSE(fs::exists(out + "tone.mp3"));
        EXPECT_TRUE(fs::exists(wav));

        for (const char* action : {"--print-options", "--show-profile"}) {
            r = Run({"-f", "mp3", "-p", "Hand", action});
            EXPECT_EQ(r.Code, 2) << action << r.Out;
            EXPECT_EQ(r.Out, "") << action;
            EXPECT_CONTAINS(r.Err, message);
            EXPECT_CONTAINS(r.Err, c.Reason);
        }
        EXPECT_EQ(ReadFile(profile), c.Content); // nothing written over it
    }
    // The edit mends a value only by setting it; a file that is no text is refused.
    WriteFile(mp3 + "Hand.mpo", "[General]\nAudioCodec=-1\n");
    RunResult r = Run({"-f", "mp3", "--edit-profile", "Hand", "--set", "Description=x"});
    EXPECT_EQ(r.Code, 2);
    EXPECT_CONTAINS(r.Err, "AudioCodec");
    r = Run({"-f", "mp3", "--edit-profile", "Hand", "--set", "AudioCodec=0"});
    EXPECT_EQ(r.Code, 0) << r.Err;
    EXPECT_EQ(Run({"-f", "mp3", "-p", "Hand", "--print-options"}).Code, 0);
    WriteFile(mp3 + "Hand.mpo", utf16);
    r = Run({"-f", "mp3", "--edit-profile", "Hand", "--set", "Description=x"});
    EXPECT_EQ(r.Code, 2);
    EXPECT_CONTAINS(r.Err, "UTF-16");
    EXPECT_EQ(ReadFile(mp3 + "Hand.mpo"), utf16);
}

// --profile-file is refused at once, naming the cause: a named pipe (which
// must not hang the start), a folder, and a profile of another format that
// shares the extension.
TEST_F(CliProfiles, ProfileFileIsRefusedAtOnceNamingTheCause)
{
    const std::string fifo = tmp.file("pipe.mpo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string folder = tmp.file("folder.mpo");
    fs::create_directories(folder);
    const std::string mp4 = app + "langs/English_Profile/mp4/Default.mpo";
    const std::string mp2 = tmp.file("mp2.mpo");
    WriteFile(mp2, "[General]\nDescription=mp2\nAudioCodec=0\nAudioBitRatePresetMp2=192\n");
    struct TCase {
        std::string File;
        const char* Format;
        const char* Reason;
    } cases[] = {
        {fifo, "mp3", "it is not a regular file (a named pipe)"},
        {folder, "mp3", "it is not a regular file (a folder)"},
        {mp4, "mp3", "none of this format's own keys"},
        {mp2, "mp3", "none of this format's own keys"},
        {tmp.file("missing.mpo"), "mp3", "not found"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.File);
        for (const char* action : {"--print-options", "--show-profile"}) {
            const auto started = std::chrono::steady_clock::now();
            const RunResult r = Start({"-f", c.Format, "--profile-file", c.File, action}).Wait(std::chrono::seconds(20));
            EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(20));
            EXPECT_EQ(r.Code, 2) << action << r.Out;
            EXPECT_CONTAINS(r.Err, c.File);
            EXPECT_CONTAINS(r.Err, c.Reason);
        }
    }
    // The right format's profile with the same extension is taken.
    const RunResult r = Run({"-f", "mp2", "--profile-file", mp2, "--print-options"});
    EXPECT_EQ(r.Code, 0) << r.Err;
    EXPECT_CONTAINS(r.Out, "-ab 192 ");
}

// Two quorvex-cli runs that edit different keys of one profile at the same
// time both land, round after round.
TEST_F(CliProfiles, ConcurrentEditsOfDifferentKeysBothLand)
{
    const char* keys[] = {"VideoBitRatePresetDivX", "VideoBitRatePresetXviD", "VideoBitRatePresetH264",
                          "VideoBitRatePresetMPEG1"};
    for (int round = 1; round <= 8; ++round) {
        SCOPED_TRACE(round);
        std::vector<Running> runs;
        for (const char* key : keys)
            runs.push_back(Start({"-f", "avi", "--edit-profile", "Default", "--set",
                                  std::string(key) + "=" + std::to_string(1000 + round)}));
        for (Running& run : runs) {
            const RunResult r = run.Wait();
            EXPECT_EQ(r.Code, 0) << r.Err;
            EXPECT_CONTAINS(r.Out, "Saved");
        }
        const std::string text = ReadFile(avi + "Default.avo");
        for (const char* key : keys)
            EXPECT_CONTAINS(text, std::string(key) + "=" + std::to_string(1000 + round) + "\n");
    }
}

// A language file named with a folder part in config.ini is refused with a
// warning and English is used: nothing is read, written or created outside
// the program folder.
TEST_F(CliProfiles, LanguageFileOutsideTheLangsFolderIsRefused)
{
    for (const char* value : {"../../escape.ini", "../escape.ini", "sub/escape.ini"}) {
        SCOPED_TRACE(value);
        WriteFile(app + "config.ini", std::string("[DazadUVI_Form]\nLanguageFile=") + value + "\n");
        const RunResult r = Run({"-f", "avi", "--list-profiles"});
        EXPECT_EQ(r.Code, 0) << r.Err;
        EXPECT_CONTAINS(r.Out, "Default\n");
        EXPECT_CONTAINS(r.Err, "warning: The configuration file \"" + app + "config.ini\" was not used: LanguageFile=\"" +
                                   value + "\"");
        EXPECT_CONTAINS(r.Err, "English is used");
    }
    EXPECT_FALSE(fs::exists(tmp.dir() + "escape.ini"));
    EXPECT_FALSE(fs::exists(tmp.dir() + "escape_Profile"));
    EXPECT_FALSE(fs::exists(app + "escape.ini"));
    EXPECT_FALSE(fs::exists(app + "escape_Profile"));
    EXPECT_FALSE(fs::exists(app + "langs/sub"));
    EXPECT_EQ(ReadFile(app + "config.ini"), "[DazadUVI_Form]\nLanguageFile=sub/escape.ini\n");
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
