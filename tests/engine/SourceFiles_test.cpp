// Which files may be sources: one rule for the window's list, the desktop
// program's file arguments and quorvex-cli.

#include <gtest/gtest.h>

#include "engine/SourceFiles.h"
#include "lang/MultiLanguages.h"

namespace {

const std::vector<std::string> kFilters = {"Video Files=*.avi;*.mpg;*.MKV", "Audio = *.mp3 ; *.wav", "All=*.*"};

TEST(SourceFiles, ExtensionMustEqualOnePatternWithoutRegardToCase)
{
    const std::pair<const char*, bool> cases[] = {
        {".avi", true},  {".AVI", true}, {".mkv", true}, {".Mp3", true},
        {".wav", true},  // blanks around a pattern do not count
        {".txt", false}, {".avs", false},
        {".av", false},  // a part of a pattern is not enough
        {".mp", false},  {".i", false},  {".avi2", false},
        {"", false},     // no extension
        {".", false},    // "movie." has an empty extension
        {".*", false},   // "*.*" is no wildcard for the list
        {".?vi", false},
        {"avi", false},  // not an extension without its dot
    };
    for (const auto& [ext, accepted] : cases)
        EXPECT_EQ(IsAcceptedExtension(ext, kFilters), accepted) << "'" << ext << "'";
    EXPECT_FALSE(IsAcceptedExtension(".avi", {}));
    EXPECT_TRUE(IsAcceptedExtension(".avi", {"*.avi"})) << "a line without a name is all pattern";
}

TEST(SourceFiles, NameIsJudgedByTheExtensionOfItsFileNamePart)
{
    const std::vector<std::string> saved = AcceptedFilters;
    AcceptedFilters = kFilters;
    const std::pair<const char*, bool> cases[] = {
        {"/home/u/clip.avi", true},
        {"/home/u/CLIP.Avi", true},
        {"relative/clip.mpg", true},
        {"/home/u/movie.", false},       // empty extension
        {"/home/u/.avi", false},         // a hidden name without extension
        {"/home/u/.hidden.avi", true},   // a hidden name with one
        {"/home/u.avi/clip", false},     // the dot belongs to a folder
        {"/home/u/clip.avi.txt", false}, // only the last extension counts
        {"/home/u/clip.tar.mkv", true},
        {"/home/u/clip", false},
        {"/home/u/.av", false},
        {"/home/u/clip.av", false},
    };
    for (const auto& [path, accepted] : cases)
        EXPECT_EQ(IsAcceptedSourceName(path), accepted) << path;
    AcceptedFilters = saved;
}

} // namespace
