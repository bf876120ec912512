#pragma once

#include <optional>
#include <string>
#include <vector>

namespace avcore {

// The access code every caller passes with "-p".
inline constexpr const char* AccessCode = "5260718";

// The encoder command line in the old option language, as given.
struct TRequest {
    bool help = false;
    std::string accessCode;
    bool haveAccessCode = false;
    std::string input;
    std::string output;
    std::string format;       // -f
    std::string duration;     // -t (text as given; empty = whole source)
    std::string start;        // -ss
    bool sameQuality = false; // -sameq
    bool noVideo = false;     // -vn
    bool noAudio = false;     // -an
    bool copyFitting = false; // -copyfit: copy a stream the output can take as it is
    std::string videoCodec;   // -vcodec
    std::string size;         // -s WxH
    std::string videoBitrate; // -b
    std::string frameRate;    // -r
    std::string aspect;       // -aspect
    std::string target;       // -target
    std::string audioCodec;   // -acodec
    std::string channels;     // -ac
    std::string audioBitrate; // -ab
    std::string sampleRate;   // -ar
    std::string strict;       // -strict
    std::string crf;          // -crf: constant quality instead of the video bitrate
    std::string speed;        // -speed faster|balanced|smaller
    std::string audioQuality; // -aq: VBR quality instead of the audio bitrate
    std::string compressionLevel; // -compression_level (FLAC 0..8)
    std::string replace;      // -replace: which existing output may be replaced
    std::string mapMetadata;  // -map_metadata: only "-1" (write no tags and no cover art)
    std::string loudness;     // -loudness: target LUFS, -70 to -5; empty = no normalisation
    std::string truePeak;     // -truepeak: ceiling dBTP, -9 to 0 (default -1)
    std::string loudnessOf;   // -loudness-of I,LRA,TP: the programme's figures (an album's), not measured again
    std::string loudnessAlbum; // -loudness-album LIST: the album's files, measured together (see ProgrammeLoudness)
};

// One container the encoder writes: the names "-f" accepts for it, the
// muxer ffmpeg gets, and the output extensions that choose it without "-f".
struct TContainer {
    const char* names;      // blank-separated, the first is the one shown
    const char* muxer;
    const char* extensions; // blank-separated, with their dots
};

// Every container the encoder writes, in the order "--help" lists them.
const std::vector<TContainer>& Containers();
// The container of a "-f" name (any letter case); null for any other name.
const TContainer* ContainerByName(const std::string& name);
// The container an output extension (with its dot, any case) chooses; null
// when the extension names none.
const TContainer* ContainerByExtension(const std::string& extension);

// Reads the arguments (without the program name). The last argument is the
// output name and the one after "-i" the input name, whatever they look like.
// Returns false with a message for an unknown option, a missing value, a
// "-replace" that is not "none", "any" or DEVICE:INODE, a "-map_metadata"
// other than "-1", a loudness target,
// ceiling or figures that cannot be read or lie outside their ranges, or a
// container the encoder does not write ("-f", or the output's extension
// when neither "-f" nor "-target" is given).
bool ParseRequest(const std::vector<std::string>& args, TRequest& req, std::string& error);

// Reads a time text "h:mm:ss.xxx", "mm:ss" or seconds "12.5" into seconds.
// Empty text is not a time. Negative values and other characters are refused.
std::optional<double> ParseTimeText(const std::string& text);

// Reads a bitrate in the old style into bits per second: "1200k", "1.5M",
// a plain number up to 10000 is kbit/s (as the old "-b" and "-ab" meant),
// larger plain numbers are bit/s. Returns nothing for other texts or values <= 0
// when allowZero is false.
std::optional<long long> ParseBitrate(const std::string& text, bool allowZero);

// Reads a decimal number in the "C" manner (point as separator).
std::optional<double> ParseNumber(const std::string& text);

} // namespace avcore
