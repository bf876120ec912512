#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/TempDir.h"
#include "profiles/profiles.h"

namespace fs = std::filesystem;

namespace {

using qvtest::ReadFile;
using qvtest::TempDir;
using qvtest::WriteFile;

// A shipped tree and a user's profile tree, as an installed program sees them.
class ShippedAdditionsTest : public ::testing::Test {
protected:
    std::string Shipped() const { return dir.dir() + "shipped/"; }
    std::string Root() const { return dir.dir() + "cfg/English_Profile/"; }
    void Ship(const std::string& rel, const std::string& text = "[General]\n")
    {
        WriteFile(Shipped() + "English_Profile/" + rel, text);
    }
    TempDir dir;
};

TEST_F(ShippedAdditionsTest, NewShippedProfilesArriveOnceAndUserChoicesStay)
{
    Ship("avi/Default.avo", "shipped default\n");
    Ship("avi/Small.avo");
    Ship("mp3/Default.mpo");

    // First start: the empty tree is filled, then every shipped name is recorded.
    EXPECT_EQ(FillEmptyProfileFolders(Shipped(), Root()), 3);
    EXPECT_EQ(AddNewShippedProfiles(Shipped(), Root()), 0);
    const std::string record = ReadFile(Root() + ShippedRecordFile);
    EXPECT_NE(record.find("avi/small\n"), std::string::npos) << record;
    EXPECT_NE(record.find("mp3/default\n"), std::string::npos) << record;

    // The user changes one profile and deletes another.
    WriteFile(Root() + "avi/Default.avo", "mine\n");
    fs::remove(Root() + "avi/Small.avo");

    // A newer version ships two more profiles, one in a folder the user keeps.
    Ship("avi/Large.avo");
    Ship("wav/Default.wao");
    EXPECT_EQ(FillEmptyProfileFolders(Shipped(), Root()), 1); // wav was empty
    EXPECT_EQ(AddNewShippedProfiles(Shipped(), Root()), 1);   // avi/Large
    EXPECT_TRUE(fs::exists(Root() + "avi/Large.avo"));
    EXPECT_FALSE(fs::exists(Root() + "avi/Small.avo")) << "a deleted profile came back";
    EXPECT_EQ(ReadFile(Root() + "avi/Default.avo"), "mine\n");

    // The next start copies nothing; a user's deletion of a new one stays.
    fs::remove(Root() + "avi/Large.avo");
    EXPECT_EQ(AddNewShippedProfiles(Shipped(), Root()), 0);
    EXPECT_FALSE(fs::exists(Root() + "avi/Large.avo"));
}

TEST_F(ShippedAdditionsTest, UserProfileOfTheSameNameIsNeverReplaced)
{
    Ship("avi/Default.avo");
    WriteFile(Root() + "avi/Mine.avo", "mine\n");
    // Without a record (an older version's tree) a shipped name the user already
    // has, in any letter case, is kept as it is.
    Ship("avi/MINE.avo", "shipped\n");
    EXPECT_EQ(AddNewShippedProfiles(Shipped(), Root()), 1); // Default only
    EXPECT_EQ(ReadFile(Root() + "avi/Mine.avo"), "mine\n");
    EXPECT_FALSE(fs::exists(Root() + "avi/MINE.avo"));
}

} // namespace
