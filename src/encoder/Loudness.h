#pragma once

// Loudness normalisation: the figures ffmpeg's EBU R128 meter reports, the
// choice of one gain from them, and the filters that apply it.

#include <optional>
#include <string>
#include <vector>

namespace avcore {

// Integrated loudness (LUFS), loudness range (LU) and true peak (dBTP) of a
// programme. Silence reads as -70 LUFS and a true peak of -inf.
struct TLoudness {
    double integrated = -70;
    double range = 0;
    double truePeak = -1e9;
};

// Reads the summary the "ebur128" filter logs at the end of a run. False when
// the text holds no complete summary.
bool ParseLoudnessSummary(const std::string& text, TLoudness& out);

// Reads "I,LRA,TP" (as "-loudness-of" takes it); nothing for other texts.
std::optional<TLoudness> ParseLoudnessFigures(const std::string& text);
// "I,LRA,TP" with one decimal.
std::string LoudnessFiguresText(const TLoudness& l);

// The most the limiter may lower the peaks (dB); beyond it the gain is lowered.
inline constexpr double MaxPeakReduction = 6.0;
// The lowest limiter level alimiter takes (1/16 of full scale).
inline constexpr double MinLimiterLevel = -24.0;
// Below this the programme is silence as the meter sees it: no gain is applied.
inline constexpr double SilenceLoudness = -69.95;

enum class TGainMode {
    Linear,  // one gain; the true peak stays under the ceiling
    Limited, // peaks limited (at most MaxPeakReduction), then the full gain
    Capped,  // the gain lowered so that the limiting stays within its cap
    Silent,  // nothing to measure: left as it is
};

struct TGainDecision {
    TGainMode mode = TGainMode::Linear;
    double gain = 0;          // dB applied
    double peakReduction = 0; // dB the limiter takes off the highest peak
    double limit = 0;         // dBFS the limiter holds the oversampled peaks to (with limiting)
    double reached = 0;       // integrated loudness expected (LUFS)
    double reachedPeak = 0;   // true peak expected (dBTP)
    bool targetReached = true;
};

// The gain that brings Measured to Target with its true peak at or below
// Ceiling: one linear gain when it fits, otherwise peak limiting of at most
// MaxPeakReduction, otherwise the gain that needs exactly that much.
TGainDecision DecideGain(const TLoudness& measured, double target, double ceiling);

// Corrects a limited gain after the limited result was measured: limiting
// takes some loudness away, so the gain rises by what is missing (within the
// cap), and peaks that still pass the ceiling between the samples lower the
// limiter by as much. A capped gain keeps its value and learns what it
// reaches. Source is the measurement of the source.
TGainDecision CorrectGain(const TGainDecision& first, const TLoudness& source, const TLoudness& result,
                          double target, double ceiling);

// The audio filter for a decision: "volume" alone, or the gain followed by
// a limiter at the ceiling that works at four times SampleRate (so that it
// catches the peaks between samples) and never raises the level again.
// Prefix (format conversion) comes first; "" when nothing is to be done.
std::string GainFilter(const TGainDecision& d, int sampleRate, const std::string& prefix);

// The filter that measures: Prefix and Chain, then the meter.
std::string MeterFilter(const std::string& prefix, const std::string& chain);

// The figures of one file for the batch's report, in one line:
// "Loudness: measured -30.2 LUFS, range 5.1 LU, true peak -3.0 dBTP; gain +7.2 dB (linear); reached -23.0 LUFS, true peak -1.0 dBTP"
std::string LoudnessLine(const TLoudness& measured, const TGainDecision& d);
// The note for an adjustment the user should know of ("" for a linear gain).
std::string LoudnessNote(const TLoudness& measured, const TGainDecision& d, double target, double ceiling);

// "-23.0"-style text with one decimal and an explicit sign for positives when Signed.
std::string Decibels(double value, bool withSign = false);

} // namespace avcore
