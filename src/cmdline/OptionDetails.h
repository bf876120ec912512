#pragma once

// Turns one profile file into the encoder's option line.
//
// The option line is a run of pieces, each ending in one blank ("-y -f avi ",
// "-b 1200k "); the time piece also begins with one. The batch driver puts the
// line between the quoted input and the quoted output name.

#include <cstdint>
#include <stdexcept>
#include <string>

// A profile that cannot go on the option line: a file that is no readable
// profile, or a value outside its list or range, or a StartTime or Duration
// that is no time. Its message names the profile, the key and the reason.
class TProfileValueError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Copy every fitting stream whatever the profile says (quorvex-cli
// --copy-fitting); false by default.
extern bool ForceCopyFitting;
// Loudness settings that override the profile's for a batch (quorvex-cli's
// "--loudness" and "--true-peak"). Values in tenths, as the profile keys.
struct TLoudnessOverride {
    bool SetOn = false; // "--loudness" given: On replaces NormaliseLoudness
    bool On = false;
    int32_t Target = -230; // with On
    bool SetPeak = false; // "--true-peak" given
    int32_t Peak = -10;
};
extern TLoudnessOverride LoudnessOverride;

// The loudness piece of a profile record with the override applied: "" when
// off, otherwise "-loudness -23.0 -truepeak -1.0 " and, in album mode,
// "-loudness-album " (the batch adds the list of the folder's files).
std::string LoudnessPiece(bool on, int32_t target, int32_t peak, bool album, const TLoudnessOverride& override);

// Empties Options, then calls the builder of Options.OutputFormat (the global
// options record); a value of 22 or more selects none and leaves it empty.
// Every builder throws TProfileValueError for a time text that TimeTextToMs
// cannot read, so no profile value can begin an option of its own. A profile
// with CopyFitting set (or ForceCopyFitting) ends the line with "-copyfit ".
void BuildEncoderOptions(const std::string& profileFileName, std::string& options);
// BuildEncoderOptions for a conversion: first throws TProfileValueError
// when ProfileFileProblems refuses the profile file (no profile text, or a
// value outside its list or range), so that a profile that cannot be read as
// it stands is never converted with defaults in its place. A missing file
// builds from the defaults.
void BuildCheckedEncoderOptions(const std::string& profileFileName, std::string& options);

// One builder per output format. Each loads the profile into the format's
// settings record (defaults first, so a missing file builds from the
// defaults), works on a copy of it and appends its pieces to Options.
void BuildAVIOptions(const std::string& profileFileName, std::string& options);
void BuildMP4Options(const std::string& profileFileName, std::string& options);
void BuildTGPOptions(const std::string& profileFileName, std::string& options);
void BuildMPEGOptions(const std::string& profileFileName, std::string& options);
void BuildMovOptions(const std::string& profileFileName, std::string& options);
void BuildWmvOptions(const std::string& profileFileName, std::string& options);
void BuildRmOptions(const std::string& profileFileName, std::string& options);
void BuildSwfOptions(const std::string& profileFileName, std::string& options);
void BuildVobOptions(const std::string& profileFileName, std::string& options);
void BuildAsfOptions(const std::string& profileFileName, std::string& options);
void BuildAacOptions(const std::string& profileFileName, std::string& options);
void BuildAc3Options(const std::string& profileFileName, std::string& options);
void BuildMp2Options(const std::string& profileFileName, std::string& options);
void BuildMp3Options(const std::string& profileFileName, std::string& options);
void BuildAmrOptions(const std::string& profileFileName, std::string& options);
void BuildWavOptions(const std::string& profileFileName, std::string& options);
void BuildMkvOptions(const std::string& profileFileName, std::string& options);
void BuildWebmOptions(const std::string& profileFileName, std::string& options);
void BuildOpusOptions(const std::string& profileFileName, std::string& options);
void BuildFlacOptions(const std::string& profileFileName, std::string& options);
void BuildM4aOptions(const std::string& profileFileName, std::string& options);
void BuildOggOptions(const std::string& profileFileName, std::string& options);
