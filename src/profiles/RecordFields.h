#pragma once

// The description of the profile records, and access to any field of
// any record by its key, without knowing the record type.
//
// Formats are OutputFormatKind values 0..21 (AVI 0, MP4 1, 3GP 2, MPEG 3,
// MOV 4, WMV 5, RM 6, SWF 7, VOB 8, ASF 9, AAC 10, AC3 11, MP2 12, MP3 13,
// AMR 14, WAV 15, MKV 16, WEBM 17, OPUS 18, FLAC 19, M4A 20, OGG 21).
//
// Every field of a record has a key (its INI key in section "General", equal
// to the member's name in globals.h), a kind and a default. The value of a
// field travels as a TFieldValue whose alternative follows the kind:
//   Text, Time -> std::string   (a time reads like "0:00:00.000")
//   Flag       -> bool
//   Index      -> uint8_t       (a 0-based list position; 255 = no selection)
//   Number     -> int32_t       (bitrates in kbit/s, sizes in pixels)
//
// A TProfileRecord holds one record of any format by value; its variant
// index is its format. Loading, saving and assigning defaults all walk the
// same field list, so every key is read, written and defaulted alike.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "profiles/globals.h"

enum class TFieldKind { Text, Time, Flag, Index, Number };

using TFieldValue = std::variant<std::string, bool, uint8_t, int32_t>;

struct TFieldInfo {
    std::string_view Key;
    TFieldKind Kind;
    int32_t NumberDefault = 0;                  // Flag (0/1), Index, Number
    const char* TimeDefault = nullptr;          // Time
    const std::string* TextDefault = nullptr;   // Text: read at the time of the call
    // The default as a value of the field's kind. The Description default is
    // the catalogue text IDS_NO_DESCRIPTION in force at the time of the call.
    TFieldValue Default() const;
};

// Alternatives in OutputFormatKind order, so index() is the format.
using TProfileRecord =
    std::variant<TAVISettings, TMP4Settings, TTGPSettings, TMPEGSettings, TMovSettings, TWmvSettings,
                 TRmSettings, TSwfSettings, TVobSettings, TAsfSettings, TAacSettings, TAc3Settings,
                 TMp2Settings, TMp3Settings, TAmrSettings, TWavSettings, TMkvSettings, TWebmSettings,
                 TOpusSettings, TFlacSettings, TM4aSettings, TOggSettings>;

// True for 0..21.
bool IsRecordFormat(int format);
// The format of a record (its variant index).
int RecordFormat(const TProfileRecord& record);

// The fields of a format in the order they are written; empty for a format
// outside 0..21.
const std::vector<TFieldInfo>& RecordFields(int format);
// Just the keys of RecordFields(format), in the same order.
std::vector<std::string> RecordKeys(int format);
// The field of a format with this key (compared exactly), nullptr if none.
const TFieldInfo* FindField(int format, std::string_view key);

// The routines below that make a record throw std::out_of_range for a
// format outside 0..21.

// A record with every field at its default.
TProfileRecord DefaultRecord(int format);
// A record starting from the defaults with every key of the file read over
// them; a missing file, key or malformed value keeps the default, and
// nothing is created on disk. An index keeps the low 8 bits of the number
// read (258 reads as 2).
TProfileRecord LoadRecord(int format, const std::string& fileName);
// Writes every key of the record; other keys and sections of the file stay.
// Throws EIniWriteError ("Unable to write to <file>") when the file cannot be
// written; the file on disk then stays as it was.
void SaveRecord(const TProfileRecord& record, const std::string& fileName);

// A copy of the process-wide current record of a format (AVISettings ...).
TProfileRecord CurrentRecord(int format);
// Replaces the current record of the record's format with a copy of it.
void SetCurrentRecord(const TProfileRecord& record);

// The value of a field; nullopt when the record has no such key.
std::optional<TFieldValue> GetField(const TProfileRecord& record, std::string_view key);
// Sets a field. False (record untouched) when the record has no such key or
// the value's alternative does not match the field's kind.
bool SetField(TProfileRecord& record, std::string_view key, const TFieldValue& value);

// Typed shortcuts; the fallback is returned for an unknown key or another kind.
std::string GetText(const TProfileRecord& record, std::string_view key, const std::string& fallback = {});
bool GetFlag(const TProfileRecord& record, std::string_view key, bool fallback = false);
uint8_t GetIndex(const TProfileRecord& record, std::string_view key, uint8_t fallback = 0);
int32_t GetNumber(const TProfileRecord& record, std::string_view key, int32_t fallback = 0);
