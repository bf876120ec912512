#include "profiles/globals.h"

#include <charconv>

TAVISettings AVISettings;
TMP4Settings MP4Settings;
TTGPSettings TGPSettings;
TMPEGSettings MPEGSettings;
TMovSettings MovSettings;
TWmvSettings WmvSettings;
TRmSettings RmSettings;
TSwfSettings SwfSettings;
TAsfSettings AsfSettings;
TVobSettings VobSettings;
TAacSettings AacSettings;
TAc3Settings Ac3Settings;
TMp2Settings Mp2Settings;
TMp3Settings Mp3Settings;
TAmrSettings AmrSettings;
TWavSettings WavSettings;
TMkvSettings MkvSettings;
TWebmSettings WebmSettings;
TOpusSettings OpusSettings;
TFlacSettings FlacSettings;
TM4aSettings M4aSettings;
TOggSettings OggSettings;

const TPresetTable StandardVideoBitRates = {"64", "128", "256", "512", "768", "1080", "1152",
                                            "1200", "1500", "2496", "4600", "6000", "9600"};
const TPresetTable WindowsVideoBitRates = {"64", "128", "256", "512", "768", "1080",
                                           "1152", "1200", "1500", "2496", "4600", "6000"};
const TPresetTable FlashVideoBitRates = {"64", "128", "256", "512", "768", "1080",
                                         "1152", "1200", "1500", "2496", "3600"};

const TPresetTable Ac3AudioBitRates = {"32", "48", "56", "64", "96", "112", "128",
                                       "160", "192", "224", "256", "320", "384", "448"};
const TPresetTable Mp2AudioBitRates = {"32", "48", "56", "64", "96", "112", "128",
                                       "160", "192", "224", "256", "320", "384"};
const TPresetTable Mp3AudioBitRates = {"32", "48", "56", "64", "96", "112",
                                       "128", "160", "192", "224", "256", "320"};
const TPresetTable AacAudioBitRates = {"24", "32", "48", "56", "64", "96",
                                       "112", "128", "160", "192", "224", "256"};
const TPresetTable AacPspAudioBitRates = {"24", "32", "48", "56", "64", "96",
                                          "112", "128", "160", "192", "224", "256"};
const TPresetTable AmrNbAudioBitRates = {"8", "9", "10", "11", "12", "13"};
const TPresetTable AmrWbAudioBitRates = {"7", "9", "13", "16", "18", "20", "24"};
const TPresetTable OpusAudioBitRates = {"16", "24", "32", "48", "64", "96", "112", "128", "160", "192", "256"};
const TPresetTable VorbisAudioBitRates = {"64", "80", "96", "112", "128", "160", "192", "224", "256", "320"};
const TPresetTable DvdAudioBitRates = {"64", "96", "112", "128", "128", "160", "192", "224", "256", "320"};

namespace {

int32_t EntryValue(const std::string& entry)
{
    int32_t value = 0;
    std::from_chars(entry.data(), entry.data() + entry.size(), value);
    return value;
}

} // namespace

int32_t PresetValue(const TPresetTable& table, int position)
{
    if (table.empty())
        return 0;
    if (position < 1)
        position = 1;
    if (position > static_cast<int>(table.size()))
        position = static_cast<int>(table.size());
    return EntryValue(table[static_cast<size_t>(position - 1)]);
}

int PresetPosition(const TPresetTable& table, int32_t value, int startPosition)
{
    // Compared as text, as the editors always did: "0128" is no entry.
    const std::string text = std::to_string(value);
    int position = startPosition;
    for (size_t i = 0; i < table.size(); ++i)
        if (table[i] == text)
            position = static_cast<int>(i) + 1;
    return position;
}

int32_t PresetMinimum(const TPresetTable& table)
{
    return table.empty() ? 0 : EntryValue(table.front());
}

int32_t PresetMaximum(const TPresetTable& table)
{
    return table.empty() ? 0 : EntryValue(table.back());
}
