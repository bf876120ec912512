#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>
#include <variant>

#include "ExpectedRecords.h"
#include "lang/MultiLanguages.h"
#include "platform/IniFile.h"
#include "profiles/RecordFields.h"
#include "profiles/profiles.h"
#include "support/TempDir.h"

namespace {

char KindLetter(TFieldKind kind)
{
    switch (kind) {
    case TFieldKind::Text: return 's';
    case TFieldKind::Time: return 't';
    case TFieldKind::Flag: return 'f';
    case TFieldKind::Index: return 'i';
    case TFieldKind::Number: break;
    }
    return 'n';
}

// A field's default as it is written to a file.
std::string FileText(const TFieldValue& v)
{
    if (const auto* s = std::get_if<std::string>(&v))
        return *s;
    if (const auto* b = std::get_if<bool>(&v))
        return *b ? "1" : "0";
    if (const auto* i = std::get_if<uint8_t>(&v))
        return std::to_string(*i);
    return std::to_string(std::get<int32_t>(v));
}

// A value of the field's kind that differs from the default and, for
// numbers and texts, from every other field's value.
TFieldValue OtherValue(const TFieldInfo& f, size_t i)
{
    switch (f.Kind) {
    case TFieldKind::Text: return "Text " + std::to_string(i);
    case TFieldKind::Time: return std::to_string(i) + ":00:01.250";
    case TFieldKind::Flag: return !std::get<bool>(f.Default());
    case TFieldKind::Index: return static_cast<uint8_t>(20 + i % 200);
    case TFieldKind::Number: break;
    }
    return static_cast<int32_t>(100000 + i * 7);
}

// Whether two records of one format agree in every field.
bool SameFields(const TProfileRecord& a, const TProfileRecord& b)
{
    if (RecordFormat(a) != RecordFormat(b))
        return false;
    for (const TFieldInfo& f : RecordFields(RecordFormat(a)))
        if (GetField(a, f.Key) != GetField(b, f.Key))
            return false;
    return true;
}

// The number of members of an aggregate: the most initialisers it accepts.
struct AnyField {
    template <class T>
    operator T() const { return T{}; }
};
template <class R, std::size_t... I>
constexpr bool AcceptsInitialisers(std::index_sequence<I...>)
{
    return requires { R{(void(I), AnyField{})...}; };
}
template <class R, std::size_t N = 0>
constexpr std::size_t MemberCount()
{
    if constexpr (AcceptsInitialisers<R>(std::make_index_sequence<N + 1>()))
        return MemberCount<R, N + 1>();
    else
        return N;
}
template <std::size_t... I>
std::vector<std::size_t> MemberCounts(std::index_sequence<I...>)
{
    return {MemberCount<std::variant_alternative_t<I, TProfileRecord>>()...};
}

class RecordFieldsTest : public ::testing::TestWithParam<int> {
protected:
    qvtest::TempDir dir;
};

TEST_P(RecordFieldsTest, FieldsMatchTheRecordLayout)
{
    const int format = GetParam();
    const auto& fields = RecordFields(format);
    const auto expected = expected::Record(format);
    ASSERT_EQ(fields.size(), expected.size());
    for (size_t i = 0; i < fields.size(); ++i) {
        SCOPED_TRACE(expected[i].Key);
        EXPECT_EQ(fields[i].Key, expected[i].Key);
        EXPECT_EQ(KindLetter(fields[i].Kind), expected[i].Kind);
        EXPECT_EQ(FileText(fields[i].Default()), expected[i].Default);
        EXPECT_EQ(FindField(format, expected[i].Key), &fields[i]);
    }
    EXPECT_EQ(RecordKeys(format).size(), fields.size());
}

TEST_P(RecordFieldsTest, EveryMemberHasAField)
{
    // A member without a row would never be defaulted, loaded or saved.
    static const auto counts = MemberCounts(std::make_index_sequence<std::variant_size_v<TProfileRecord>>());
    EXPECT_EQ(RecordFields(GetParam()).size(), counts.at(static_cast<size_t>(GetParam())));
}

TEST_P(RecordFieldsTest, EveryFieldIsReachableByKeyAndIndependent)
{
    const int format = GetParam();
    TProfileRecord record = DefaultRecord(format);
    EXPECT_EQ(RecordFormat(record), format);
    const auto& fields = RecordFields(format);
    for (size_t i = 0; i < fields.size(); ++i)
        ASSERT_TRUE(SetField(record, fields[i].Key, OtherValue(fields[i], i))) << fields[i].Key;
    // Read back after all were set: two keys sharing one member would show here.
    for (size_t i = 0; i < fields.size(); ++i)
        EXPECT_EQ(GetField(record, fields[i].Key), OtherValue(fields[i], i)) << fields[i].Key;
}

TEST_P(RecordFieldsTest, SaveAndLoadRoundTripEveryField)
{
    const int format = GetParam();
    TProfileRecord record = DefaultRecord(format);
    const auto& fields = RecordFields(format);
    for (size_t i = 0; i < fields.size(); ++i)
        SetField(record, fields[i].Key, OtherValue(fields[i], i));
    const std::string file = dir.file("p.ini");
    SaveRecord(record, file);
    const TProfileRecord loaded = LoadRecord(format, file);
    for (const TFieldInfo& f : fields)
        EXPECT_EQ(GetField(loaded, f.Key), GetField(record, f.Key)) << f.Key;
}

TEST_P(RecordFieldsTest, CurrentRecordIsCopiedInAndOut)
{
    const int format = GetParam();
    DefaultFormatSettings(format);
    TProfileRecord record = CurrentRecord(format);
    ASSERT_TRUE(SetField(record, "Description", std::string("changed")));
    // The copy is detached from the current settings until it is put back.
    EXPECT_EQ(GetText(CurrentRecord(format), "Description"), IDS_NO_DESCRIPTION);
    SetCurrentRecord(record);
    EXPECT_EQ(GetText(CurrentRecord(format), "Description"), "changed");
    DefaultFormatSettings(format);
    EXPECT_EQ(GetText(CurrentRecord(format), "Description"), IDS_NO_DESCRIPTION);
}

INSTANTIATE_TEST_SUITE_P(AllFormats, RecordFieldsTest, ::testing::Range(0, OutputFormatCount),
                         [](const auto& info) { return std::string(expected::FormatName(info.param)); });

TEST(RecordFields, WrongKindOrUnknownKeyLeavesTheRecordAlone)
{
    TProfileRecord record = DefaultRecord(static_cast<int>(OutputFormatKind::AVI));
    const TProfileRecord before = record;
    // Each field takes exactly the alternative of its kind.
    EXPECT_FALSE(SetField(record, "VideoCodec", int32_t{3}));      // index wants uint8_t
    EXPECT_FALSE(SetField(record, "VideoWidthDivX", uint8_t{3}));  // number wants int32_t
    EXPECT_FALSE(SetField(record, "EnableTimeControl", int32_t{1}));
    EXPECT_FALSE(SetField(record, "Duration", true));
    EXPECT_FALSE(SetField(record, "NoSuchKey", int32_t{1}));
    EXPECT_FALSE(SetField(record, "videocodec", uint8_t{1})); // keys compare exactly
    EXPECT_TRUE(SameFields(record, before));
    EXPECT_FALSE(GetField(record, "NoSuchKey").has_value());
    // A key of another format is no key of this one.
    EXPECT_FALSE(GetField(record, "TGPFormat").has_value());
    EXPECT_EQ(GetNumber(record, "VideoCodec", -5), -5); // typed shortcut with the wrong kind
    EXPECT_EQ(GetIndex(record, "VideoCodec", 99), 0);
}

TEST(RecordFields, FormatsOutsideTheKnownOnes)
{
    // 16..21 are the newer formats; 22 and above still mean "no format".
    EXPECT_FALSE(RecordFields(21).empty());
    EXPECT_TRUE(RecordFields(22).empty());
    EXPECT_TRUE(RecordFields(-1).empty());
    EXPECT_EQ(FindField(22, "Description"), nullptr);
    EXPECT_THROW(DefaultRecord(22), std::out_of_range);
    EXPECT_THROW(CurrentRecord(-1), std::out_of_range);
    EXPECT_THROW(LoadRecord(255, "unused.ini"), std::out_of_range);
}

TEST(RecordFields, DescriptionDefaultFollowsTheCatalogueInForce)
{
    const std::string saved = IDS_NO_DESCRIPTION;
    IDS_NO_DESCRIPTION = "Keine Beschreibung";
    const TProfileRecord record = DefaultRecord(static_cast<int>(OutputFormatKind::WAV));
    IDS_NO_DESCRIPTION = saved;
    EXPECT_EQ(GetText(record, "Description"), "Keine Beschreibung");
}

TEST(RecordFields, LoadKeepsDefaultsForMissingAndMalformedKeysAndTruncatesIndexes)
{
    qvtest::TempDir dir;
    const std::string file = dir.file("mp3.ini");
    qvtest::WriteFile(file, "[General]\nAudioBitRatePresetMp3=abc\nAudioSampleRateMp3=258\nAudioCodec=1\n");
    const TProfileRecord r = LoadRecord(static_cast<int>(OutputFormatKind::MP3), file);
    EXPECT_EQ(GetNumber(r, "AudioBitRatePresetMp3"), 128);
    EXPECT_EQ(GetIndex(r, "AudioSampleRateMp3"), 2); // 258 keeps its low 8 bits
    EXPECT_EQ(GetIndex(r, "AudioCodec"), 1);
    EXPECT_EQ(GetText(r, "StartTime"), "0:00:00.000");
    // A missing file reads as the defaults and is not created.
    const TProfileRecord none = LoadRecord(static_cast<int>(OutputFormatKind::MP3), dir.file("none.ini"));
    EXPECT_TRUE(SameFields(none, DefaultRecord(static_cast<int>(OutputFormatKind::MP3))));
    EXPECT_FALSE(std::filesystem::exists(dir.file("none.ini")));
}

} // namespace
