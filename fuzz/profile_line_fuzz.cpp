// Profile file -> encoder option line.
//
// Input: byte 0 chooses the output format (OutputFormatCount chooses none), byte 1 the way
// the rest becomes the profile: even: the rest is the file as it is; odd: the
// rest is lines whose first byte picks one of the format's profile keys and
// whose other bytes are its value, written through the INI writer.
//
// Checks: no format gives an empty line; a line consists of blank-ended
// pieces without quotes or other white space; every word that begins with
// "-" is one of the options the builders write, each at most once, no value
// is an option name and no time value begins with "-"; and the encoder
// program reads the line, placed between its input and output names, with
// those names unchanged.

#include "FuzzSupport.h"
#include "app/Settings.h"
#include "cmdline/OptionDetails.h"
#include "encoder/CommandLine.h"
#include "platform/IniFile.h"
#include "profiles/profiles.h"

#include <array>
#include <cstdint>
#include <set>

namespace {

// The keys each format's profile holds, as the profile writer writes them.
const std::array<std::vector<std::string>, OutputFormatCount>& ProfileKeys()
{
    static const auto keys = [] {
        std::array<std::vector<std::string>, OutputFormatCount> k;
        const std::string file = qvfuzz::WorkDir() + "keys.ini";
        for (int f = 0; f < OutputFormatCount; ++f) {
            std::filesystem::remove(file);
            DefaultFormatSettings(f);
            SaveFormatSettings(f, file);
            k[f] = TIniFile(file).ReadSection("General");
        }
        return k;
    }();
    return keys;
}

const std::set<std::string> ValueOptions = {"-f",        "-vcodec", "-s",   "-b",
                                            "-r",        "-aspect", "-target", "-acodec",
                                            "-ac",       "-ab",     "-ar",  "-strict",
                                            "-t",        "-ss",     "-crf", "-speed",
                                            "-aq",       "-compression_level", "-map_metadata",
                                            "-loudness", "-truepeak"};
const std::set<std::string> FlagOptions = {"-y", "-sameq", "-an", "-vn", "-copyfit", "-loudness-album"};

std::vector<std::string> Words(const std::string& line)
{
    std::vector<std::string> words;
    size_t i = 0;
    while (i < line.size()) {
        if (line[i] == ' ') {
            ++i;
            continue;
        }
        size_t e = line.find(' ', i);
        if (e == std::string::npos)
            e = line.size();
        words.push_back(line.substr(i, e - i));
        i = e;
    }
    return words;
}

void CheckLine(const std::string& line, int format)
{
    if (format >= OutputFormatCount) {
        qvfuzz::Check(line.empty(), "a line without a format");
        return;
    }
    if (line.empty())
        return;
    qvfuzz::Check(line.back() == ' ', "line does not end with a blank: " + line);
    for (char c : line)
        qvfuzz::Check(c != '"' && c != '\'' && c != '\t' && c != '\r' && c != '\n' && c != '\v' && c != '\f',
                      "quote or white space other than a blank in: " + line);

    const std::vector<std::string> words = Words(line);
    std::set<std::string> seen;
    for (size_t i = 0; i < words.size(); ++i) {
        const std::string& w = words[i];
        if (w[0] != '-')
            continue;
        const bool takesValue = ValueOptions.count(w) != 0;
        qvfuzz::Check(takesValue || FlagOptions.count(w) != 0, "word '" + w + "' begins an unknown option: " + line);
        qvfuzz::Check(seen.insert(w).second, "option '" + w + "' written twice: " + line);
        if (!takesValue)
            continue;
        // An empty time value leaves its option without a word; the encoder reads that as "none".
        const bool mayBeEmpty = w == "-t" || w == "-ss";
        if (i + 1 >= words.size()) {
            qvfuzz::Check(mayBeEmpty, "option '" + w + "' without a value at the end: " + line);
            continue;
        }
        const std::string& next = words[i + 1];
        const bool isOption = ValueOptions.count(next) || FlagOptions.count(next) || next == "-i" || next == "-p";
        if (mayBeEmpty) {
            // The encoder takes a time option followed by an option as
            // having no value, so a time value never begins with "-".
            if (next[0] != '-')
                ++i;
            else
                qvfuzz::Check(isOption, "time value '" + next + "' begins with '-': " + line);
            continue;
        }
        // Other options always take the next word; a number may be negative
        // (the encoder refuses it), but the word is never an option name.
        qvfuzz::Check(!isOption, "option '" + w + "' without a value: " + line);
        ++i;
    }

    std::vector<std::string> args = {"-p", avcore::AccessCode, "-i", "in.avi"};
    args.insert(args.end(), words.begin(), words.end());
    // The output is named as the batch names it: WMV and SWF lines carry no
    // container, so the extension tells the encoder.
    const std::string output = "out" + FormatOutputExtension(format);
    args.push_back(output);
    avcore::TRequest req;
    std::string error;
    qvfuzz::Check(avcore::ParseRequest(args, req, error), "the encoder refuses the line (" + error + "): " + line);
    qvfuzz::Check(req.input == "in.avi" && req.output == output && req.accessCode == avcore::AccessCode,
                  "the line changes the encoder's input, output or access code: " + line);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    const int format = data[0] % (OutputFormatCount + 1);
    const bool structured = data[1] & 1;
    const std::string_view payload(reinterpret_cast<const char*>(data) + 2, size - 2);
    const std::string file = qvfuzz::WorkDir() + "profile.pro";

    if (!structured || format >= OutputFormatCount) {
        qvfuzz::WriteFile(file, payload);
    } else {
        const std::vector<std::string>& keys = ProfileKeys()[format];
        std::filesystem::remove(file);
        TIniFile ini(file);
        size_t start = 0;
        while (start < payload.size()) {
            size_t nl = payload.find('\n', start);
            std::string entry(payload.substr(start, nl == std::string_view::npos ? std::string_view::npos : nl - start));
            start = nl == std::string_view::npos ? payload.size() : nl + 1;
            if (entry.empty() || keys.empty())
                continue;
            const std::string& key = keys[static_cast<uint8_t>(entry[0]) % keys.size()];
            std::string value = entry.substr(1);
            std::erase(value, '\r');
            ini.WriteString("General", key, value);
        }
        ini.UpdateFile();
    }

    Options.OutputFormat = static_cast<uint8_t>(format);
    std::string line = "left over";
    try {
        BuildEncoderOptions(file, line);
    } catch (const TProfileValueError&) {
        return 0; // a time the parser cannot read is refused, never put on the line
    }
    CheckLine(line, format);
    return 0;
}
