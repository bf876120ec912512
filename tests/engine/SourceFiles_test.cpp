// Which files may be sources: one rule for the window's list, the desktop
// program's file arguments and quorvex-cli.

#include <gtest/gtest.h>

#include "engine/OutputNames.h"
#include "engine/SourceFiles.h"
#include "lang/MultiLanguages.h"
#include "support/TempDir.h"

#include <filesystem>

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

// A folder as a source: the accepted files below it by relative path, and
// nothing that would surprise: no hidden entries or partial outputs, no
// other files, not the output folder inside it, no loop through a link.
TEST(SourceFiles, FolderWalkTakesAcceptedFilesByRelativePath)
{
    namespace fs = std::filesystem;
    const std::vector<std::string> saved = AcceptedFilters;
    AcceptedFilters = kFilters;
    qvtest::TempDir dir;
    const std::string root = dir.dir() + "Album";
    for (const char* folder : {"/sub/deeper", "/out", "/.git", "/Zed"})
        fs::create_directories(root + folder);
    for (const char* file : {"/b.mp3", "/a.MP3", "/sub/c.wav", "/sub/deeper/d.avi", "/Zed/e.mp3", "/cover.jpg",
                             "/notes.txt", "/.hidden.mp3", "/sub/.c.wav.qvpart-12.wav", "/.git/x.mp3", "/out/old.avi"})
        qvtest::WriteFile(root + file, "x");
    fs::create_directory_symlink("..", root + "/sub/loop");           // would loop
    fs::create_directory_symlink(root + "/sub", root + "/again");     // a folder twice
    fs::create_symlink(root + "/b.mp3", root + "/sub/link.mp3");      // a link to a file counts
    fs::create_symlink(root + "/missing.mp3", root + "/dangling.mp3");

    const std::vector<TWalkedFile> found = WalkSourceFolder(root + "/", {root + "/out"});
    std::vector<std::string> relative;
    for (const TWalkedFile& f : found) {
        relative.push_back(f.Place.RelativePath);
        EXPECT_EQ(f.Place.Folder, root);
        EXPECT_EQ(f.Path, root + "/" + f.Place.RelativePath);
    }
    // Byte order: upper case before lower case.
    const std::vector<std::string> expected = {"Zed/e.mp3", "a.MP3", "b.mp3", "sub/c.wav", "sub/deeper/d.avi",
                                               "sub/link.mp3"};
    EXPECT_EQ(relative, expected);
    EXPECT_TRUE(WalkSourceFolder(root + "/b.mp3").empty()) << "a file is no folder";
    EXPECT_TRUE(WalkSourceFolder(dir.dir() + "missing").empty());
    AcceptedFilters = saved;
}

// Output names: the folder, a mirrored sub-path, beside the source, or a
// template filled from tags that can never leave the output folder.
TEST(OutputNames, TemplateAndPlaceGiveTheOutputName)
{
    TNameFields tags;
    tags.Name = "01 song";
    tags.Artist = "AC/DC";
    tags.Album = "Live: \"Best\"?";
    tags.Title = "T\\i*t<l>e|";
    tags.Track = "3/12";
    tags.Disc = "2";
    tags.Date = "1979";
    tags.Genre = "Rock\x01";
    tags.Format = "mp3";
    TNameFields untagged;
    untagged.Name = "clip";
    untagged.Format = "mp3";
    const TSourcePlace loose;
    const TSourcePlace walked{"/music/Album", "cd1/01 song.flac"};
    const std::string longTitle(300, 'a');
    const std::string umlauts = std::string(253, 'x') + "\xC3\xA4\xC3\xA4"; // a cut must not split "ä"
    struct Case {
        const char* why;
        TOutputNaming naming;
        TSourcePlace place;
        const TNameFields* fields;
        std::string expected;
    };
    const Case cases[] = {
        {"plain", {"/out", false, "", ".mp3"}, loose, &untagged, "/out/01 song.mp3"},
        {"trailing slash", {"/out/", false, "", ".mp3"}, loose, &untagged, "/out/01 song.mp3"},
        {"mirrored", {"/out", false, "", ".mp3"}, walked, &untagged, "/out/Album/cd1/01 song.mp3"},
        {"beside", {"/out", true, "", ".mp3"}, walked, &untagged, "/music/Album/cd1/01 song.mp3"},
        {"template replaces the mirror", {"/out", false, "{artist}/{album}/{track} {title}", ".mp3"}, walked, &tags,
         "/out/AC_DC/Live_ _Best__/03 T_i_t_l_e_.mp3"},
        {"beside with template", {"/out", true, "{disc}-{track} {name}", ".mp3"}, walked, &tags,
         "/music/Album/cd1/2-03 01 song.mp3"},
        {"missing tags", {"/out", false, "{albumartist}/{album}/{track} {title} {date}{genre}", ".mp3"}, loose,
         &untagged, "/out/Unknown Artist/Unknown Album/00 clip .mp3"},
        {"album artist falls back to artist", {"/out", false, "{albumartist}", ".mp3"}, loose, &tags, "/out/AC_DC.mp3"},
        {"control characters", {"/out", false, "{genre} {format}", ".mp3"}, loose, &tags, "/out/Rock_ mp3.mp3"},
        {"no escape upwards", {"/out", false, "../{name}/./x/", ".mp3"}, loose, &untagged, "/out/_/clip/_/x/_.mp3"},
        {"absolute template stays inside", {"/out", false, "/etc/{name}", ".mp3"}, loose, &untagged,
         "/out/_/etc/clip.mp3"},
        {"empty field component", {"/out", false, "{date}/{name}", ".mp3"}, loose, &untagged, "/out/_/clip.mp3"},
        {"unknown field stays", {"/out", false, "{nope}{name}", ".mp3"}, loose, &untagged, "/out/{nope}clip.mp3"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(OutputPathOf(c.naming, "/music/Album/cd1/01 song.flac", c.place, *c.fields), c.expected) << c.why;

    // Each component at most 255 bytes, the last with its extension, never
    // splitting a UTF-8 sequence.
    TNameFields longTags = untagged;
    longTags.Title = longTitle;
    longTags.Album = umlauts;
    const std::string name =
        OutputPathOf({"/out", false, "{album}/{title}", ".mp3"}, "/music/clip.flac", loose, longTags);
    EXPECT_EQ(name, "/out/" + std::string(253, 'x') + "\xC3\xA4/" + std::string(251, 'a') + ".mp3");
    EXPECT_EQ(ExpandNameTemplate("{track}", {"", "", "", "", "", "7", "", "", "", ""}), "07");
    EXPECT_EQ(ExpandNameTemplate("{track}", {"", "", "", "", "", "112", "", "", "", ""}), "112");
    EXPECT_TRUE(TemplateNeedsTags("{name} - {title}"));
    EXPECT_FALSE(TemplateNeedsTags("{name}.{format}"));
}

} // namespace
