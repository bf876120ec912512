// Media facts through the real MediaInfoLib on files made with ffmpeg.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>

#include "engine/MediaInfo.h"
#include "lang/MultiLanguages.h"
#include "support/SampleMedia.h"
#include "support/TempDir.h"

using namespace qvtest;
namespace fs = std::filesystem;

namespace {

// Sample files, made once for the whole suite.
class MediaSamples {
public:
    MediaSamples()
    {
        const auto video = TestPicture("320x240", 25, "2");
        const auto audio = SineTone("2", "frequency=440");
        ok = MakeMedia(JoinArgs({video, audio, {"-c:v", "mpeg4", "-b:v", "400k", "-c:a", "libmp3lame", "-shortest",
                                                Path("av.avi")}})) &&
             MakeMedia(JoinArgs({video, audio, {"-c:v", "libx264", "-preset", "ultrafast", "-c:a", "aac", "-shortest",
                                                Path("av.mp4")}})) &&
             MakeMedia(JoinArgs({audio, {"-c:a", "libmp3lame", Path("audio.mp3")}})) &&
             MakeMedia(JoinArgs({video, {"-c:v", "mpeg4", Path("silent.avi")}}));
        if (!ok)
            return;
        WriteFile(Path("text.avi"), "This is a letter, not a film.\n");
        WriteFile(Path("empty.avi"), "");
        fs::copy_file(Path("av.avi"), Path("Grüße \"x\" 100%.avi"));
        // A container whose header names a video codec nobody knows: the
        // library describes it, an encoder cannot decode it.
        std::string avi = ReadFile(Path("av.avi"));
        for (size_t p = avi.find("FMP4"); p != std::string::npos; p = avi.find("FMP4", p))
            avi.replace(p, 4, "QQQQ");
        WriteFile(Path("unknown-codec.avi"), avi);
    }
    std::string Path(const std::string& name) const { return dir.file(name); }
    bool ok = false;

private:
    TempDir dir;
};

MediaSamples& Samples()
{
    static MediaSamples samples;
    return samples;
}

class MediaInfo : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetCatalogue();
        if (!Samples().ok)
            GTEST_SKIP() << "ffmpeg cannot make the sample files";
        if (!MediaInfoLibrary().Loaded())
            GTEST_SKIP() << "libmediainfo.so.0 is not installed: " << MediaInfoLibrary().LoadError();
    }
};

// Which groups of facts a file has.
struct FactCase {
    const char* File;
    bool Described; // complete name, size and format known
    bool Video;     // the six video facts have values
    bool Audio;     // the four audio facts have values
};

void PrintTo(const FactCase& c, std::ostream* os)
{
    *os << c.File;
}

class MediaFactsOf : public MediaInfo, public ::testing::WithParamInterface<FactCase> {};

TEST_P(MediaFactsOf, HaveValuesExactlyWhereTheFileHasThem)
{
    const FactCase& c = GetParam();
    const std::string path = Samples().Path(c.File);
    const TFileItem item = ProbeFileItem(path);

    EXPECT_EQ(item.FileName, c.File);
    EXPECT_EQ(item.FilePath, fs::path(path).parent_path().string() + "/");
    EXPECT_EQ(MediaFileDescribed(item), c.Described);
    if (c.Described) {
        EXPECT_EQ(item.CompleteName, path);
        EXPECT_EQ(item.FileSize, std::to_string(fs::file_size(path)));
    }
    for (const TMediaFact& fact : MediaFacts) {
        const std::string& value = item.*fact.Field;
        EXPECT_FALSE(value.empty()) << fact.Name << ": an empty answer must read <None>";
        bool expected = fact.Stream == TMediaStream::Video   ? c.Video
                        : fact.Stream == TMediaStream::Audio ? c.Audio
                                                             : c.Described;
        // Counts are given only for the streams that exist.
        if (fact.Field == &TFileItem::VideoCount)
            expected = c.Video;
        if (fact.Field == &TFileItem::AudioCount)
            expected = c.Audio;
        EXPECT_EQ(value != IDS_None, expected) << c.File << " " << fact.Name << " = " << value;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Samples, MediaFactsOf,
    ::testing::Values(FactCase{"av.avi", true, true, true}, FactCase{"av.mp4", true, true, true},
                      FactCase{"audio.mp3", true, false, true}, FactCase{"silent.avi", true, true, false},
                      FactCase{"Grüße \"x\" 100%.avi", true, true, true},
                      FactCase{"unknown-codec.avi", true, true, true}),
    [](const auto& info) {
        std::string name;
        for (char ch : std::string(info.param.File))
            name += std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
        return name;
    });

TEST_F(MediaInfo, FilesThatAreNoMediaAreNotDescribed)
{
    // The library names and sizes any file it can open, so only the missing
    // format tells these apart from real media.
    struct {
        const char* File;
    } cases[] = {{"text.avi"}, {"empty.avi"}, {"no-such-file.avi"}};
    for (const auto& c : cases) {
        const TFileItem item = ProbeFileItem(Samples().Path(c.File));
        EXPECT_FALSE(MediaFileDescribed(item)) << c.File;
        EXPECT_EQ(item.FormatName, IDS_None) << c.File;
        EXPECT_EQ(item.VideoCodec, IDS_None) << c.File;
    }
}

TEST_F(MediaInfo, HeaderOnlyReadingDecidesAsTheFullReading)
{
    // quorvex-cli reads headers only; the files it accepts, and their names
    // and sizes, must be those of the full reading the window uses.
    const char* files[] = {"av.avi",   "av.mp4",   "audio.mp3",        "silent.avi",      "Grüße \"x\" 100%.avi",
                           "text.avi", "empty.avi", "unknown-codec.avi", "no-such-file.avi"};
    for (const char* file : files) {
        const std::string path = Samples().Path(file);
        const TFileItem full = ProbeFileItem(path);
        MediaInfoLibrary().ReadHeadersOnly(true);
        const TFileItem quick = ProbeFileItem(path);
        MediaInfoLibrary().ReadHeadersOnly(false);
        EXPECT_EQ(MediaFileDescribed(quick), MediaFileDescribed(full)) << file;
        EXPECT_EQ(quick.CompleteName, full.CompleteName) << file;
        EXPECT_EQ(quick.FileSize, full.FileSize) << file;
        EXPECT_EQ(quick.FormatName, full.FormatName) << file;
    }
}

TEST_F(MediaInfo, VideoFactsUseTheNamesTheLibraryAnswers)
{
    const TFileItem item = ProbeFileItem(Samples().Path("av.avi"));
    // "Bitrate" would answer nothing; "BitRate" gives bits per second.
    ASSERT_NE(item.VideoBitrate, IDS_None);
    const long bitrate = std::strtol(item.VideoBitrate.c_str(), nullptr, 10);
    EXPECT_GT(bitrate, 50000);
    EXPECT_LT(bitrate, 5000000);
    // The legacy names answer only in the library's legacy mode.
    EXPECT_EQ(item.VideoCodec, "MPEG-4 Visual");
    EXPECT_EQ(item.AudioCodec, "MPEG-1 Audio layer 3");
    EXPECT_EQ(item.PlayTime.substr(0, 8), "00:00:02");
}

TEST_F(MediaInfo, ReportDescribesAnExistingFileOnly)
{
    const std::string report = MediaReport(Samples().Path("av.avi"));
    EXPECT_NE(report.find("General"), std::string::npos);
    EXPECT_NE(report.find("Video"), std::string::npos);
    EXPECT_NE(report.find("Audio"), std::string::npos);
    EXPECT_NE(report.find("MPEG-4 Visual"), std::string::npos);
    EXPECT_EQ(MediaReport(Samples().Path("no-such-file.avi")), "");
}

// A name that is no text in the user's character set ("caf\xe9" under UTF-8)
// is still a name: the file is described by its bytes.
TEST_F(MediaInfo, NamesThatAreNoUtf8AreDescribed)
{
    TempDir dir;
    const std::string path = dir.file("caf\xe9 \x01.avi");
    fs::copy_file(Samples().Path("av.avi"), path);
    const TFileItem item = ProbeFileItem(path);
    EXPECT_TRUE(MediaFileDescribed(item));
    EXPECT_EQ(item.CompleteName, path);
    EXPECT_EQ(item.FileName, "caf\xe9 \x01.avi");
    EXPECT_EQ(item.Width, "320");
    const std::string report = MediaReport(path);
    EXPECT_NE(report.find("MPEG-4 Visual"), std::string::npos);
    EXPECT_NE(report.find(path), std::string::npos);
}

TEST(MediaInfoLibraryMissing, EveryFactReadsNoneAndTheReportIsEmpty)
{
    ResetCatalogue();
    TMediaInfoLibrary missing("libquorvex-no-such-library.so.0");
    EXPECT_FALSE(missing.Loaded());
    EXPECT_NE(missing.LoadError().find("libquorvex-no-such-library"), std::string::npos);

    TempDir tmp;
    WriteFile(tmp.file("x.avi"), "data");
    TFileItem item;
    missing.Probe(tmp.file("x.avi"), item);
    for (const TMediaFact& fact : MediaFacts)
        EXPECT_EQ(item.*fact.Field, IDS_None) << fact.Name;
    EXPECT_FALSE(MediaFileDescribed(item));
    EXPECT_EQ(missing.Report(tmp.file("x.avi")), "");
}

// The window's forms of the raw facts; anything that is no plain number
// stays as the library gave it.
TEST(ReadableFactValue, UnitsAndCommonRatios)
{
    const struct {
        std::string TFileItem::*field;
        const char* raw;
        const char* shown;
    } cases[] = {
        {&TFileItem::VideoBitrate, "636000", "636 kbit/s"},
        {&TFileItem::VideoBitrate, "635500", "636 kbit/s"},
        {&TFileItem::VideoBitrate, "15000000", "15 Mbit/s"},
        {&TFileItem::VideoBitrate, "12345678", "12.3 Mbit/s"},
        {&TFileItem::AudioBitrate, "128000", "128 kbit/s"},
        {&TFileItem::AudioBitrate, "1411200", "1411 kbit/s"},
        {&TFileItem::AudioBitrate, "800", "800 bit/s"},
        {&TFileItem::AudioBitrate, "128000 / 96000", "128000 / 96000"},
        {&TFileItem::SamplingRate, "44100", "44.1 kHz"},
        {&TFileItem::SamplingRate, "48000", "48 kHz"},
        {&TFileItem::SamplingRate, "22050", "22.05 kHz"},
        {&TFileItem::SamplingRate, "8000", "8 kHz"},
        {&TFileItem::SamplingRate, "500", "500 Hz"},
        {&TFileItem::FrameRate, "23.976", "23.976 fps"},
        {&TFileItem::FrameRate, "25.000", "25 fps"},
        {&TFileItem::FrameRate, "29.970", "29.97 fps"},
        {&TFileItem::AspectRatio, "1.778", "16:9"},
        {&TFileItem::AspectRatio, "1.333", "4:3"},
        {&TFileItem::AspectRatio, "1.000", "1:1"},
        {&TFileItem::AspectRatio, "1.600", "16:10"},
        {&TFileItem::AspectRatio, "2.370", "21:9"},
        {&TFileItem::AspectRatio, "1.850", "1.85:1"},
        {&TFileItem::AspectRatio, "1.818", "1.818:1"},
        {&TFileItem::AspectRatio, "0", "0"},
        {&TFileItem::Width, "160", "160"},
        {&TFileItem::Channels, "2", "2"},
        {&TFileItem::PlayTime, "00:00:01.000", "00:00:01.000"},
        {&TFileItem::VideoBitrate, "<None>", "<None>"},
        {&TFileItem::FrameRate, "", ""},
        {&TFileItem::FrameRate, "-25", "-25"},
        {&TFileItem::FrameRate, "1.2.3", "1.2.3"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ReadableFactValue(c.field, c.raw), c.shown) << c.raw;
}

} // namespace
