// What quorvex-cli prepares once for a whole batch.

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "cli/CliApp.h"
#include "engine/SourceFiles.h"
#include "lang/MultiLanguages.h"
#include "support/SampleMedia.h"
#include "support/TempDir.h"

using namespace qvcli;

namespace {

// Each case: what the builder does on its first calls ('t' throws, 'b'
// builds), how many files ask for the line, and what each file gets
// ("!" for a throw).
struct OnceCase {
    const char* Name;
    std::string Builds;
    int Files;
    std::vector<std::string> Got;
    int BuilderCalls;
};

void PrintTo(const OnceCase& c, std::ostream* os)
{
    *os << c.Name;
}

class OptionLineOnce : public ::testing::TestWithParam<OnceCase> {};

TEST_P(OptionLineOnce, BuildsUntilOneBuildSucceeds)
{
    const OnceCase& c = GetParam();
    int calls = 0;
    auto line = BuiltOncePerBatch([&] {
        const char step = calls < static_cast<int>(c.Builds.size()) ? c.Builds[static_cast<size_t>(calls)] : 'b';
        ++calls;
        if (step == 't')
            throw std::runtime_error("bad profile value");
        return "-f mp3 -ab " + std::to_string(calls);
    });
    std::vector<std::string> got;
    for (int i = 0; i < c.Files; ++i) {
        try {
            got.push_back(line());
        } catch (const std::runtime_error& e) {
            EXPECT_STREQ(e.what(), "bad profile value");
            got.push_back("!");
        }
    }
    EXPECT_EQ(got, c.Got);
    EXPECT_EQ(calls, c.BuilderCalls);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, OptionLineOnce,
    ::testing::Values(
        OnceCase{"NoFileNoBuild", "", 0, {}, 0},
        OnceCase{"OneBuildForThreeFiles", "b", 3, {"-f mp3 -ab 1", "-f mp3 -ab 1", "-f mp3 -ab 1"}, 1},
        OnceCase{"EveryFileFailsAlike", "ttt", 3, {"!", "!", "!"}, 3},
        OnceCase{"FailedBuildIsNotKept", "tb", 3, {"!", "-f mp3 -ab 2", "-f mp3 -ab 2"}, 2}),
    [](const ::testing::TestParamInfo<OnceCase>& info) { return std::string(info.param.Name); });

} // namespace

namespace {

TEST(SourceChecks, ManyFilesAreCheckedAsOneByOneInTheirOrder)
{
    // The files are checked on several threads; each must get its own
    // answer, in the order given, whatever thread read it.
    ResetCatalogue();
    const std::vector<std::string> savedFilters = AcceptedFilters;
    AcceptedFilters = {"Audio Files=*.wav"};
    struct TRestore {
        const std::vector<std::string>& Saved;
        ~TRestore() { AcceptedFilters = Saved; }
    } restore{savedFilters};
    qvtest::TempDir dir;
    const std::string tone = dir.file("tone.wav");
    if (!qvtest::MakeMedia(qvtest::JoinArgs({qvtest::SineTone("0.5"), {tone}})))
        GTEST_SKIP() << "ffmpeg cannot make the sample file";
    if (!MediaInfoLibrary().Loaded())
        GTEST_SKIP() << "libmediainfo.so.0 is not installed";
    qvtest::WriteFile(dir.file("letter.wav"), "not a sound\n");
    std::filesystem::create_directory(dir.file("folder.wav"));
    const std::vector<std::string> kinds = {tone, dir.file("letter.wav"), dir.file("missing.wav"),
                                            dir.file("folder.wav"), dir.file("notes.txt")};
    std::vector<std::string> paths;
    for (int i = 0; i < 40; ++i) {
        // Copies of the tone under other names, so that sizes and names differ per file.
        if (i % 5 == 0) {
            const std::string copy = dir.file("tone" + std::to_string(i) + ".wav");
            std::filesystem::copy_file(tone, copy);
            qvtest::WriteFile(copy, qvtest::ReadFile(copy) + std::string(static_cast<size_t>(i), '\0'));
            paths.push_back(copy);
        } else {
            paths.push_back(kinds[static_cast<size_t>(i) % kinds.size()]);
        }
    }
    qvtest::WriteFile(dir.file("notes.txt"), "notes");

    const std::vector<TCheckedFile> checked = CheckSourceFiles(paths);
    ASSERT_EQ(checked.size(), paths.size());
    for (size_t i = 0; i < paths.size(); ++i) {
        TFileItem alone;
        const TFileCheck expected = CheckSourceFile(paths[i], alone);
        EXPECT_EQ(checked[i].Check, expected) << paths[i];
        EXPECT_EQ(checked[i].Item.CompleteName, alone.CompleteName) << paths[i];
        EXPECT_EQ(checked[i].Item.FileSize, alone.FileSize) << paths[i];
        EXPECT_EQ(checked[i].Item.FormatName, alone.FormatName) << paths[i];
    }
    EXPECT_EQ(checked[0].Check, TFileCheck::Accepted);
    EXPECT_EQ(checked[1].Check, TFileCheck::Undescribed);
    EXPECT_EQ(checked[2].Check, TFileCheck::Missing);
    EXPECT_EQ(checked[3].Check, TFileCheck::NotAFile);
    EXPECT_EQ(checked[4].Check, TFileCheck::Rejected);
    EXPECT_TRUE(CheckSourceFiles({}).empty());
}

} // namespace
