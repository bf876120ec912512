// Letter case and file-name parts, shared by every program of the system.

#include <gtest/gtest.h>

#include "platform/TextRules.h"

namespace {

TEST(TextRules, LowerAndSameTextTouchOnlyAsciiLetters)
{
    EXPECT_EQ(LowerAscii("AbC-XYZ_09"), "abc-xyz_09");
    EXPECT_EQ(LowerAscii("\xC3\x84rger"), "\xC3\x84rger"); // UTF-8 bytes stay
    EXPECT_EQ(LowerAscii('@'), '@');
    EXPECT_EQ(LowerAscii('['), '[');
    EXPECT_TRUE(SameTextAscii("General", "GENERAL"));
    EXPECT_FALSE(SameTextAscii("General", "Genera"));
    EXPECT_FALSE(SameTextAscii("@", "`")); // neighbours of the letter ranges
    EXPECT_FALSE(SameTextAscii("\xC3\x84", "\xC3\xA4"));
    EXPECT_TRUE(SameTextAscii("", ""));
}

TEST(TextRules, ExtensionComesFromTheFileNamePart)
{
    struct Case {
        const char* Path;
        const char* Name;
        const char* Extension;
        const char* Changed; // with ".mp4" as the new extension
    };
    const Case cases[] = {
        {"/a/b/c.avi", "c.avi", ".avi", "/a/b/c.mp4"},
        {"/a/b.dir/file", "file", "", "/a/b.dir/file.mp4"},
        {"x.tar.gz", "x.tar.gz", ".gz", "x.tar.mp4"},
        {"/a/.hidden", ".hidden", "", "/a/.hidden.mp4"},
        {"/a/.hidden.AVI", ".hidden.AVI", ".AVI", "/a/.hidden.mp4"},
        {"/a/name.", "name.", ".", "/a/name.mp4"},
        {"plain", "plain", "", "plain.mp4"},
        {"/a/", "", "", "/a/.mp4"},
        {"", "", "", ".mp4"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FileNamePart(c.Path), c.Name) << c.Path;
        EXPECT_EQ(FileExtension(c.Path), c.Extension) << c.Path;
        EXPECT_EQ(ChangeFileExtension(c.Path, ".mp4"), c.Changed) << c.Path;
    }
}

TEST(TextRules, SplitKeepsEveryPieceBetweenSeparators)
{
    const std::pair<const char*, std::vector<std::string>> cases[] = {
        {"1:02:03.5", {"1", "02", "03.5"}},
        {"a::b", {"a", "", "b"}},
        {":", {"", ""}},
        {"", {""}},
        {"plain", {"plain"}},
        {"end:", {"end", ""}},
    };
    for (const auto& [text, parts] : cases)
        EXPECT_EQ(SplitText(text, ':'), parts) << text;
}

} // namespace
