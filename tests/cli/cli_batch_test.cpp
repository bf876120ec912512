// What quorvex-cli prepares once for a whole batch.

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "cli/CliApp.h"

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
