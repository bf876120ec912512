#include "platform/IniFile.h"

#include "support/TempDir.h"

#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

using qvtest::ReadFile;
using qvtest::TempDir;
using qvtest::WriteFile;

const std::string kSample = "; settings\r\n[Main]\r\n"
                            "Name = Padded Value  \r\nQuoted=\"  inner  \"\r\nSingle='x'\r\nTwice=\"\"x\"\"\r\n"
                            "Unbalanced=\"x'\r\nEmpty=\r\n"
                            "Hex=0x1F\r\nHexUpper=0XfF\r\nWord=two\r\nBig=258\r\nNeg=-7\r\nWrap=0xFFFFFFFF\r\n"
                            "Trailing=12abc\r\nHuge=99999999999\r\nQuotedNumber=\" 5 \"\r\n"
                            "Flag2=2\r\nFlagMinus=-1\r\nFlagZero=0\r\n\r\n[Other]\r\nName=other\r\n";

TEST(IniFile, ReadsTextsByTheProfileRules)
{
    TempDir dir;
    WriteFile(dir.file("a.ini"), kSample);
    TIniFile ini(dir.file("a.ini"));
    const std::tuple<const char*, const char*, const char*> cases[] = {
        {"Main", "Name", "Padded Value"},        // blanks trimmed
        {"mAIN", "nAmE", "Padded Value"},        // names ignore letter case
        {"Main", "Quoted", "  inner  "},         // quotes removed, inside kept
        {"Main", "Single", "x"},
        {"Main", "Twice", "\"x\""},              // one pair only
        {"Main", "Unbalanced", "\"x'"},
        {"Main", "Empty", ""},                   // empty is not missing
        {"Other", "Name", "other"},
        {"Main", "Nope", "<fb>"},
        {"Nope", "Name", "<fb>"},
        {"Main", "; settings", "<fb>"},          // a comment is no key
    };
    for (const auto& [section, key, expected] : cases)
        EXPECT_EQ(ini.ReadString(section, key, "<fb>"), expected) << section << "/" << key;
}

TEST(IniFile, ReadsNumbersAndFlags)
{
    TempDir dir;
    WriteFile(dir.file("a.ini"), kSample);
    TIniFile ini(dir.file("a.ini"));
    const std::pair<const char*, int32_t> cases[] = {
        {"Hex", 31}, {"HexUpper", 255}, {"Word", 1234}, {"Big", 258}, {"Neg", -7}, {"Wrap", -1},
        {"Trailing", 1234}, {"Huge", 1234}, {"QuotedNumber", 5}, {"Empty", 1234}, {"Missing", 1234},
    };
    for (const auto& [key, expected] : cases)
        EXPECT_EQ(ini.ReadInteger("Main", key, 1234), expected) << key;
    EXPECT_TRUE(ini.ReadBool("Main", "Flag2", false));
    EXPECT_TRUE(ini.ReadBool("Main", "FlagMinus", false));
    EXPECT_FALSE(ini.ReadBool("Main", "FlagZero", true));
    EXPECT_TRUE(ini.ReadBool("Main", "Word", true)); // not a number: fallback
}

TEST(IniFile, CutsLongValuesAndSkipsAByteOrderMark)
{
    TempDir dir;
    WriteFile(dir.file("a.ini"), "\xEF\xBB\xBF[S]\nK=" + std::string(3000, 'v') + "\n");
    TIniFile ini(dir.file("a.ini"));
    EXPECT_EQ(ini.ReadString("S", "K", ""), std::string(2047, 'v'));
    ini.WriteString("S", "K", "2");
    ini.UpdateFile();
    EXPECT_EQ(ReadFile(dir.file("a.ini")), "\xEF\xBB\xBF[S]\nK=2\n");
}

TEST(IniFile, WritesReplaceInPlaceAndKeepEverythingElse)
{
    TempDir dir;
    WriteFile(dir.file("a.ini"), "; head\r\n[A]\r\nx=1\r\n; note\r\nY = 2\r\n\r\n[B]\r\nz=3\r\n");
    TIniFile ini(dir.file("a.ini"));
    ini.WriteString("a", "y", "20");  // existing key, other letter case
    ini.WriteInteger("A", "New", -5); // new key after the section's last line
    ini.WriteBool("C", "Flag", true); // new section at the end
    ini.UpdateFile();
    EXPECT_EQ(ReadFile(dir.file("a.ini")),
              "; head\r\n[A]\r\nx=1\r\n; note\r\ny=20\r\nNew=-5\r\n\r\n[B]\r\nz=3\r\n[C]\r\nFlag=1\r\n");
    EXPECT_EQ(ini.ReadSectionValues("A"), (std::vector<std::string> {"x=1", "y=20", "New=-5"}));
}

TEST(IniFile, StrayCarriageReturnsEndTheLineAndSurviveAWrite)
{
    // Each file is read, a key written and the file saved: the other key reads
    // the same before and after, and no stray CR is left in the file.
    const std::pair<const char*, const char*> cases[] = {
        {"[S]\nn=1\r", "[S]\nn=1\nw=x\n"},                       // CR before the end of the file
        {"[S]\nn=1\r\r\nm=2\n", "[S]\nn=1\nm=2\nw=x\n"},          // two CRs in a file with LF breaks
        {"[S]\r\nn=1\r\r\r\n", "[S]\r\nn=1\r\nw=x\r\n"},          // CR LF file
    };
    for (const auto& [content, saved] : cases) {
        TempDir dir;
        WriteFile(dir.file("a.ini"), content);
        TIniFile ini(dir.file("a.ini"));
        EXPECT_EQ(ini.ReadInteger("S", "n", -1), 1) << content;
        ini.WriteString("S", "w", "x");
        ini.UpdateFile();
        EXPECT_EQ(ReadFile(dir.file("a.ini")), saved) << content;
        EXPECT_EQ(TIniFile(dir.file("a.ini")).ReadString("S", "n", "<fb>"), "1") << content;
    }
}

TEST(IniFile, MissingFileReadsEmptyAndIsNotCreatedByReads)
{
    TempDir dir;
    const std::string path = dir.file("none.ini");
    TIniFile ini(path);
    EXPECT_EQ(ini.ReadString("S", "K", "fb"), "fb");
    EXPECT_TRUE(ini.ReadSections().empty());
    EXPECT_FALSE(std::filesystem::exists(path));
    ini.WriteString("S", "K", "v");
    ini.UpdateFile();
    EXPECT_EQ(ReadFile(path), "[S]\nK=v\n");
}

// Every failing write raises "Unable to write to <file>" and leaves the file
// on disk as it was, without stray temporary files.
TEST(IniFile, FailedWritesRaiseAndKeepTheOldFile)
{
    TempDir dir;
    const std::string readOnly = dir.file("ro/readonly.ini");
    const std::string folder = dir.file("ro/folder.ini");
    const std::vector<std::pair<std::string, std::function<void()>>> cases {
        {dir.file("missing/sub/a.ini"), [] {}},
        {readOnly, [&] { WriteFile(readOnly, "[S]\nK=old\n"); ::chmod(readOnly.c_str(), 0444); }}, // mode bits, even for root
        {folder, [&] { std::filesystem::create_directories(folder); }},
    };
    for (const auto& [path, prepare] : cases) {
        prepare();
        const std::string before = std::filesystem::is_regular_file(path) ? ReadFile(path) : "";
        TIniFile ini(path);
        ini.WriteString("S", "K", "new");
        try {
            ini.UpdateFile();
            ADD_FAILURE() << "no error for " << path;
        } catch (const EIniWriteError& e) {
            EXPECT_EQ(std::string(e.what()), "Unable to write to " + path);
        }
        if (std::filesystem::is_regular_file(path)) {
            EXPECT_EQ(ReadFile(path), before);
        }
    }
    auto entries = std::distance(std::filesystem::directory_iterator(dir.file("ro")), {});
    EXPECT_EQ(entries, 2); // readonly.ini and folder.ini only
}

TEST(IniFile, LineBreaksCannotInjectLines)
{
    TempDir dir;
    WriteFile(dir.file("a.ini"), "[S]\nK=old\n");
    TIniFile ini(dir.file("a.ini"));
    EXPECT_THROW(ini.WriteString("S", "K", "x\n[Evil]\nKey=1"), EIniWriteError);
    EXPECT_THROW(ini.WriteString("S", "K\r", "x"), EIniWriteError);
    EXPECT_EQ(ini.ReadString("S", "K", ""), "old");
    EXPECT_FALSE(ini.Modified());
}

TEST(IniFile, WriteKeepsFileModeAndFollowsLinks)
{
    TempDir dir;
    WriteFile(dir.file("real.ini"), "[S]\nK=1\n");
    ::chmod(dir.file("real.ini").c_str(), 0600);
    std::filesystem::create_symlink(dir.file("real.ini"), dir.file("link.ini"));
    TIniFile ini(dir.file("link.ini"));
    ini.WriteString("S", "K", "2");
    ini.UpdateFile();
    EXPECT_TRUE(std::filesystem::is_symlink(dir.file("link.ini")));
    EXPECT_EQ(ReadFile(dir.file("real.ini")), "[S]\nK=2\n");
    struct stat st {};
    ASSERT_EQ(::stat(dir.file("real.ini").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

} // namespace
