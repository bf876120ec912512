// Loudness normalisation's pure parts: the meter's summary, the choice of
// the gain and the filters that apply it.

#include "encoder/CommandLine.h"
#include "encoder/Loudness.h"
#include "encoder/Plan.h"

#include <gtest/gtest.h>

using namespace avcore;

namespace {

TEST(LoudnessGain, LinearWhereItFitsLimitedWithinTheCapCappedBeyond)
{
    struct {
        const char* name;
        TLoudness measured;
        double target, ceiling;
        TGainMode mode;
        double gain, reduction, reached;
        bool targetReached;
    } cases[] = {
        // Quiet speech with headroom: one gain, peaks stay under the ceiling.
        {"quiet_with_headroom", {-30, 6, -12}, -23, -1, TGainMode::Linear, 7, 0, -23, true},
        // Too loud: turned down, which never needs limiting.
        {"loud_turned_down", {-9, 4, 0.8}, -23, -1, TGainMode::Linear, -14, 0, -23, true},
        // The peak lands exactly on the ceiling: still linear.
        {"peak_exactly_at_ceiling", {-20, 5, -4}, -17, -1, TGainMode::Linear, 3, 0, -17, true},
        // 0.1 dB over: the limiter takes it.
        {"just_over_the_ceiling", {-20, 5, -3.9}, -17, -1, TGainMode::Limited, 3, 0.1, -17, true},
        // Music mastered hot, podcast target: 4 dB of limiting.
        {"hot_master_to_podcast", {-19, 7, -1}, -16, -1, TGainMode::Limited, 3, 3, -16, true},
        // Exactly the cap still reaches the target.
        {"exactly_the_cap", {-22, 7, -1}, -16, -1, TGainMode::Limited, 6, 6, -16, true},
        // Beyond the cap: the gain stops where the limiter takes 6 dB.
        {"beyond_the_cap", {-30, 20, -0.5}, -14, -1, TGainMode::Capped, 5.5, 6, -24.5, false},
        // A lower ceiling leaves less room.
        {"low_ceiling", {-23, 8, -6}, -16, -9, TGainMode::Capped, 3, 6, -20, false},
        // Silence (every block gated away): nothing to set.
        {"silence", {-70, 0, -1e9}, -23, -1, TGainMode::Silent, 0, 0, -70, false},
    };
    for (const auto& c : cases) {
        const TGainDecision d = DecideGain(c.measured, c.target, c.ceiling);
        EXPECT_EQ(d.mode, c.mode) << c.name;
        EXPECT_NEAR(d.gain, c.gain, 1e-9) << c.name;
        EXPECT_NEAR(d.peakReduction, c.reduction, 1e-9) << c.name;
        EXPECT_NEAR(d.reached, c.reached, 1e-9) << c.name;
        EXPECT_EQ(d.targetReached, c.targetReached) << c.name;
        if (d.mode != TGainMode::Silent) {
            EXPECT_LE(d.reachedPeak, c.ceiling + 1e-9) << c.name;
        }
    }
}

TEST(LoudnessGain, CorrectionMakesUpWhatLimitingTookWithinTheCap)
{
    const TLoudness source{-19, 7, -1};
    const TGainDecision first = DecideGain(source, -16, -1); // +3 dB, 3 dB limited
    ASSERT_EQ(first.mode, TGainMode::Limited);
    // The limited result came out 0.6 LU short: the gain rises by 0.6.
    TGainDecision d = CorrectGain(first, source, {-16.6, 6, -1}, -16, -1);
    EXPECT_EQ(d.mode, TGainMode::Limited);
    EXPECT_NEAR(d.gain, 3.6, 1e-9);
    EXPECT_NEAR(d.peakReduction, 3.6, 1e-9);
    EXPECT_TRUE(d.targetReached);
    // A correction that would pass the cap is held at it and says so.
    const TLoudness nearCap{-21.5, 7, -1};
    const TGainDecision five = DecideGain(nearCap, -16, -1);
    d = CorrectGain(five, nearCap, {-17, 6, -1}, -16, -1);
    EXPECT_EQ(d.mode, TGainMode::Capped);
    EXPECT_NEAR(d.gain, 6, 1e-9);
    EXPECT_NEAR(d.reached, -16.5, 1e-9);
    EXPECT_FALSE(d.targetReached);
    // Peaks that passed the ceiling between samples lower the limiter.
    d = CorrectGain(first, source, {-16.2, 6, -0.7}, -16, -1);
    EXPECT_NEAR(d.limit, -1.4, 1e-9);
    EXPECT_NEAR(d.gain, 3.2, 1e-9);
    // A capped gain stays and reports what the limited sound reached.
    const TLoudness spiky{-25, 0, 0.7};
    const TGainDecision capped = DecideGain(spiky, -16, -1);
    ASSERT_EQ(capped.mode, TGainMode::Capped);
    d = CorrectGain(capped, spiky, {-19.5, 0, -0.2}, -16, -1);
    EXPECT_NEAR(d.gain, capped.gain, 1e-9);
    EXPECT_NEAR(d.reached, -19.5, 1e-9);
    EXPECT_NEAR(d.limit, -1.9, 1e-9);
    EXPECT_FALSE(d.targetReached);
    // Where limiting makes it quieter than the plain gain up to the ceiling
    // (the peaks carry the loudness), the plain gain is used, unlimited.
    d = CorrectGain(capped, spiky, {-26.9, 0, -0.2}, -16, -1);
    EXPECT_EQ(d.mode, TGainMode::Capped);
    EXPECT_NEAR(d.gain, -1.7, 1e-9);
    EXPECT_NEAR(d.reached, -26.7, 1e-9);
    EXPECT_EQ(d.peakReduction, 0);
    EXPECT_EQ(GainFilter(d, 44100, ""), "volume=-1.70dB:precision=double");
    EXPECT_FALSE(d.targetReached);
    // A linear gain needs no correction.
    const TGainDecision linear = DecideGain({-30, 6, -12}, -23, -1);
    EXPECT_NEAR(CorrectGain(linear, {-30, 6, -12}, {-25, 6, -5}, -23, -1).gain, 7, 1e-9);
}

TEST(LoudnessGain, FiltersNeverRaiseTheLevelAgainAndLimitAboveTheRate)
{
    TGainDecision linear;
    linear.gain = 7;
    EXPECT_EQ(GainFilter(linear, 44100, ""), "volume=7.00dB:precision=double");
    EXPECT_EQ(GainFilter(linear, 44100, "aresample=8000"), "aresample=8000,volume=7.00dB:precision=double");
    TGainDecision none;
    EXPECT_EQ(GainFilter(none, 44100, ""), "");
    const TGainDecision limited = DecideGain({-19, 7, -1}, -16, -1);
    // Floating point up to the limiter, so that no peak is clipped before it.
    EXPECT_EQ(GainFilter(limited, 44100, ""), "volume=3.00dB:precision=double,aresample=176400:osf=dbl,"
                                              "alimiter=limit=0.89125:level=disabled:attack=5:release=50,"
                                              "aresample=44100");
    // An unknown rate limits at four times 48 kHz.
    EXPECT_NE(GainFilter(limited, 0, "").find("aresample=192000:osf=dbl"), std::string::npos);
    EXPECT_EQ(MeterFilter("", ""), "ebur128=peak=true:framelog=verbose");
    EXPECT_EQ(MeterFilter("aresample=8000", "volume=1dB"), "aresample=8000,volume=1dB,ebur128=peak=true:framelog=verbose");
}

TEST(LoudnessSummary, FiguresFromTheMetersLastSummary)
{
    const std::string log = "[Parsed_ebur128_0 @ 0x1] Summary:\n\n  Integrated loudness:\n    I:         -99.0 LUFS\n"
                            "[Parsed_ebur128_0 @ 0x2] Summary:\n\n"
                            "  Integrated loudness:\n    I:         -21.8 LUFS\n    Threshold: -32.0 LUFS\n\n"
                            "  Loudness range:\n    LRA:         4.5 LU\n    Threshold: -42.0 LUFS\n"
                            "    LRA low:   -25.0 LUFS\n    LRA high:  -20.5 LUFS\n\n"
                            "  True peak:\n    Peak:       -6.5 dBFS\n";
    TLoudness l;
    ASSERT_TRUE(ParseLoudnessSummary(log, l));
    EXPECT_DOUBLE_EQ(l.integrated, -21.8);
    EXPECT_DOUBLE_EQ(l.range, 4.5);
    EXPECT_DOUBLE_EQ(l.truePeak, -6.5);
    // Silence: "-inf" peaks.
    ASSERT_TRUE(ParseLoudnessSummary("Summary:\n I: -70.0 LUFS\n LRA: 0.0 LU\n True peak:\n Peak: -inf dBFS\n", l));
    EXPECT_LT(l.truePeak, -1e8);
    // Without the true-peak block (or any summary) there are no figures.
    EXPECT_FALSE(ParseLoudnessSummary("Summary:\n I: -20.0 LUFS\n LRA: 1.0 LU\n", l));
    EXPECT_FALSE(ParseLoudnessSummary("I: -20.0 LUFS", l));

    const std::optional<TLoudness> figures = ParseLoudnessFigures("-20.5,6.1,-inf");
    ASSERT_TRUE(figures);
    EXPECT_EQ(LoudnessFiguresText(*figures), "-20.5,6.1,-inf");
    EXPECT_FALSE(ParseLoudnessFigures("-20.5,6.1"));
    EXPECT_FALSE(ParseLoudnessFigures("-20.5,,1"));
}

TEST(LoudnessPlan, TheGainReachesTheAudioOfTheRightRun)
{
    TPlan plan;
    plan.writeAudio = true;
    plan.audioFilter = "volume=3.00dB:precision=double";
    auto has = [](const std::vector<std::string>& a, const std::string& v) {
        return std::find(a.begin(), a.end(), v) != a.end();
    };
    EXPECT_TRUE(has(MainFfmpegArgs(plan, "ffmpeg", "in.wav", "out.mp3"), plan.audioFilter));
    // AMR: the decoder applies it; the muxing run takes the AMR stream as it is.
    plan.amr = true;
    EXPECT_FALSE(has(MainFfmpegArgs(plan, "ffmpeg", "in.wav", "out.3gp"), plan.audioFilter));
    EXPECT_TRUE(has(AmrDecoderArgs(plan, "ffmpeg", "in.wav", false), plan.audioFilter));
    EXPECT_EQ(AudioFormatFilter(plan), "aresample=8000,aformat=channel_layouts=mono");
    // The loudness is measured on the sound as written (rate and channels).
    plan.amr = false;
    plan.sampleRate = 22050;
    plan.channels = 2;
    EXPECT_EQ(AudioFormatFilter(plan), "aresample=22050,aformat=channel_layouts=stereo");
    // The silent track of the PSP container is not the source's sound.
    plan.silentAudio = true;
    EXPECT_FALSE(has(MainFfmpegArgs(plan, "ffmpeg", "in.avi", "out.mp4"), plan.audioFilter));
}

} // namespace
