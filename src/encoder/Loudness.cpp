#include "encoder/Loudness.h"

#include "encoder/CommandLine.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace avcore {

namespace {

// The number after Label in Text, searched from From; NaN when none. "-inf"
// reads as a very low level.
double NumberAfter(const std::string& text, const std::string& label, size_t from, size_t& end)
{
    const size_t at = text.find(label, from);
    if (at == std::string::npos)
        return NAN;
    size_t p = at + label.size();
    while (p < text.size() && text[p] == ' ')
        ++p;
    size_t q = p;
    while (q < text.size() && text[q] != ' ' && text[q] != '\n' && text[q] != '\r')
        ++q;
    end = q;
    const std::string word = text.substr(p, q - p);
    if (word == "-inf")
        return -1e9;
    const std::optional<double> n = ParseNumber(word);
    return n ? *n : NAN;
}

std::string Fixed(double value, const char* format)
{
    char buf[48];
    std::snprintf(buf, sizeof buf, format, value);
    return buf;
}

std::string PeakText(double peak) { return peak <= -1e8 ? std::string("-inf") : Decibels(peak); }

} // namespace

std::string Decibels(double value, bool withSign)
{
    // "-0.0" reads oddly: a value that rounds to zero is "0.0".
    if (std::fabs(value) < 0.05)
        value = 0;
    return Fixed(value, withSign ? "%+.1f" : "%.1f");
}

bool ParseLoudnessSummary(const std::string& text, TLoudness& out)
{
    const size_t summary = text.rfind("Summary:");
    if (summary == std::string::npos)
        return false;
    size_t end = 0;
    const double integrated = NumberAfter(text, "I:", summary, end);
    const double range = NumberAfter(text, "LRA:", summary, end);
    const size_t peakBlock = text.find("True peak:", summary);
    const double peak = peakBlock == std::string::npos ? NAN : NumberAfter(text, "Peak:", peakBlock, end);
    if (std::isnan(integrated) || std::isnan(range) || std::isnan(peak))
        return false;
    out.integrated = integrated;
    out.range = range;
    out.truePeak = peak;
    return true;
}

std::optional<TLoudness> ParseLoudnessFigures(const std::string& text)
{
    const size_t a = text.find(',');
    const size_t b = a == std::string::npos ? a : text.find(',', a + 1);
    if (b == std::string::npos)
        return std::nullopt;
    const std::optional<double> i = ParseNumber(text.substr(0, a));
    const std::optional<double> r = ParseNumber(text.substr(a + 1, b - a - 1));
    const std::string peakText = text.substr(b + 1);
    const std::optional<double> p = peakText == "-inf" ? std::optional<double>(-1e9) : ParseNumber(peakText);
    if (!i || !r || !p)
        return std::nullopt;
    return TLoudness{*i, *r, *p};
}

std::string LoudnessFiguresText(const TLoudness& l)
{
    return Decibels(l.integrated) + "," + Decibels(l.range) + "," + PeakText(l.truePeak);
}

TGainDecision DecideGain(const TLoudness& measured, double target, double ceiling)
{
    TGainDecision d;
    if (measured.integrated <= SilenceLoudness) {
        d.mode = TGainMode::Silent;
        d.reached = measured.integrated;
        d.reachedPeak = measured.truePeak;
        d.targetReached = false;
        return d;
    }
    d.gain = target - measured.integrated;
    d.reached = target;
    const double peak = measured.truePeak + d.gain;
    if (peak <= ceiling) {
        d.reachedPeak = peak;
        return d;
    }
    d.reachedPeak = ceiling;
    d.limit = ceiling;
    const double reduction = peak - ceiling;
    if (reduction <= MaxPeakReduction) {
        d.mode = TGainMode::Limited;
        d.peakReduction = reduction;
        return d;
    }
    // More limiting would squash the sound: the gain stops where the
    // limiter takes off exactly its cap.
    d.mode = TGainMode::Capped;
    d.peakReduction = MaxPeakReduction;
    d.gain = ceiling + MaxPeakReduction - measured.truePeak;
    d.reached = measured.integrated + d.gain;
    d.targetReached = false;
    return d;
}

TGainDecision CorrectGain(const TGainDecision& first, const TLoudness& source, const TLoudness& result,
                          double target, double ceiling)
{
    TGainDecision d = first;
    if (first.mode == TGainMode::Linear || first.mode == TGainMode::Silent)
        return d;
    // Peaks between the samples that passed the ceiling: the limiter goes
    // lower by as much (and a little more, as resampling back adds some).
    if (result.truePeak > ceiling)
        d.limit = std::max(first.limit - (result.truePeak - ceiling) - 0.1, MinLimiterLevel);
    if (first.mode == TGainMode::Capped) {
        d.reached = result.integrated;
        // Where the peaks carry much of the loudness, limiting them takes
        // more than the gain adds: then the plain gain up to the ceiling is
        // louder, and nothing is limited.
        const double plain = source.integrated + (ceiling - source.truePeak);
        if (plain >= result.integrated) {
            d.gain = ceiling - source.truePeak;
            d.peakReduction = 0;
            d.reached = plain;
        }
        return d;
    }
    d.gain = first.gain + (target - result.integrated);
    d.reached = target;
    const double reduction = source.truePeak + d.gain - ceiling;
    if (reduction > MaxPeakReduction) {
        d.mode = TGainMode::Capped;
        d.gain = ceiling + MaxPeakReduction - source.truePeak;
        d.reached = result.integrated + (d.gain - first.gain);
        d.targetReached = false;
    }
    d.peakReduction = std::clamp(source.truePeak + d.gain - ceiling, 0.0, MaxPeakReduction);
    return d;
}

std::string GainFilter(const TGainDecision& d, int sampleRate, const std::string& prefix)
{
    std::vector<std::string> parts;
    if (!prefix.empty())
        parts.push_back(prefix);
    if (d.mode != TGainMode::Silent && std::fabs(d.gain) >= 0.005)
        parts.push_back("volume=" + Fixed(d.gain, "%.2f") + "dB:precision=double");
    if (d.peakReduction > 0) {
        const int rate = sampleRate > 0 ? sampleRate : 48000;
        // The limiter sees sample peaks only; at four times the rate they
        // come close to the true peaks. "level=disabled": alimiter would
        // otherwise raise the limited signal back to full scale.
        // Floating-point samples up to the limiter: a peak above full scale
        // must reach it whole, not clipped by a conversion to integers.
        parts.push_back("aresample=" + std::to_string(rate * 4) + ":osf=dbl");
        parts.push_back("alimiter=limit=" + Fixed(std::pow(10.0, d.limit / 20.0), "%.5f") +
                        ":level=disabled:attack=5:release=50");
        parts.push_back("aresample=" + std::to_string(rate));
    }
    std::string filter;
    for (const std::string& p : parts)
        filter += (filter.empty() ? "" : ",") + p;
    return filter;
}

std::string MeterFilter(const std::string& prefix, const std::string& chain)
{
    std::string filter = prefix;
    if (!chain.empty())
        filter += (filter.empty() ? "" : ",") + chain;
    // Per-frame figures only at "verbose": the summary alone is logged.
    return filter + (filter.empty() ? "" : ",") + "ebur128=peak=true:framelog=verbose";
}

std::string LoudnessLine(const TLoudness& measured, const TGainDecision& d)
{
    static const char* const modes[] = {"linear", "limited", "limited, target not reached", "silent"};
    const std::string mode = d.mode == TGainMode::Capped && d.peakReduction <= 0 ? "linear, target not reached"
                                                                                  : modes[static_cast<int>(d.mode)];
    return "Loudness: measured " + Decibels(measured.integrated) + " LUFS, range " + Decibels(measured.range) +
           " LU, true peak " + PeakText(measured.truePeak) + " dBTP; gain " + Decibels(d.gain, true) + " dB (" +
           mode + "); reached " + Decibels(d.reached) + " LUFS, true peak " +
           PeakText(d.reachedPeak) + " dBTP";
}

std::string LoudnessNote(const TLoudness& measured, const TGainDecision& d, double target, double ceiling)
{
    switch (d.mode) {
    case TGainMode::Linear:
        return {};
    case TGainMode::Silent:
        return "no loudness to normalise (the sound measures as silence); left as it is";
    case TGainMode::Limited:
        return "peaks limited by " + Decibels(d.peakReduction) + " dB so that a gain of " + Decibels(d.gain, true) +
               " dB keeps the true peak at or below " + Decibels(ceiling) + " dBTP (measured " +
               Decibels(measured.integrated) + " LUFS, true peak " + PeakText(measured.truePeak) + " dBTP)";
    case TGainMode::Capped:
        return "loudness target " + Decibels(target) + " LUFS not reached: " + Decibels(d.reached) +
               " LUFS with a gain of " + Decibels(d.gain, true) + " dB (measured " + Decibels(measured.integrated) +
               " LUFS, true peak " + PeakText(measured.truePeak) + " dBTP); keeping " + Decibels(ceiling) +
               " dBTP would need more than " + Decibels(MaxPeakReduction) + " dB of peak limiting" +
               (d.peakReduction > 0 ? " (" + Decibels(d.peakReduction) + " dB used)" : " (none used: it would make the sound quieter)");
    }
    return {};
}

} // namespace avcore
