// The shipped German profile tree: the same profiles with the same settings
// as the English tree, each with a German description.

#include "platform/IniFile.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>
#include <string>

namespace {

namespace fs = std::filesystem;

// Relative path of every profile file of a tree.
std::set<std::string> ProfileFiles(const fs::path& root)
{
    std::set<std::string> files;
    std::error_code ec;
    for (fs::recursive_directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec))
        if (it->is_regular_file())
            files.insert(fs::relative(it->path(), root).string());
    return files;
}

std::map<std::string, std::string> Values(const std::string& file)
{
    TIniFile ini(file);
    std::map<std::string, std::string> values;
    for (const std::string& key : ini.ReadSection("General"))
        values[key] = ini.ReadString("General", key, "");
    return values;
}

TEST(GermanProfilesTest, SameProfilesAndSettingsWithGermanDescriptions)
{
    for (const char* tree : {"shipped", "langs"}) {
        SCOPED_TRACE(tree);
        const fs::path english = fs::path(qvtest::AppDir()) / tree / "English_Profile";
        const fs::path german = fs::path(qvtest::AppDir()) / tree / "German_Profile";
        std::set<std::string> en = ProfileFiles(english);
        en.erase("DirectShow.avs"); // the script template lives in the English tree only
        const std::set<std::string> de = ProfileFiles(german);
        if (std::string(tree) == "shipped") {
            ASSERT_GE(en.size(), 16u);
            EXPECT_EQ(de, en);
        }
        for (const std::string& file : en) {
            if (!de.count(file))
                continue; // the user's tree may have changed; the shipped copy is checked whole
            SCOPED_TRACE(file);
            std::map<std::string, std::string> a = Values((english / file).string());
            std::map<std::string, std::string> b = Values((german / file).string());
            const std::string da = a["Description"], db = b["Description"];
            EXPECT_FALSE(db.empty());
            if (std::string(tree) == "shipped") {
                EXPECT_NE(db, da);
                a.erase("Description");
                b.erase("Description");
                EXPECT_EQ(b, a);
            }
        }
    }
}

} // namespace
