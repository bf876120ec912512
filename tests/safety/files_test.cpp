// Settings, language, profile and script files that are not what they claim
// to be (named pipes, links to /dev/zero, huge files), run through the real
// quorvex-cli and avcore.dll on a copy of the program folder. Nothing may
// hang, nothing refused may be overwritten, and a deleted language file
// must not break the next start.

#include "encoder/EncoderRun.h"
#include "platform/IniFile.h"
#include "support/EndToEnd.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <sys/stat.h>

using namespace qvtest;
using enctest::RunProgram;
using enctest::TRunResult;
namespace fs = std::filesystem;

namespace {

constexpr int kLimitSeconds = 60; // a hang is killed after this and fails the case

bool IsFifo(const std::string& path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISFIFO(st.st_mode);
}

bool IsLinkTo(const std::string& path, const std::string& target)
{
    std::error_code ec;
    return fs::is_symlink(path, ec) && fs::read_symlink(path, ec) == target;
}

// The kinds of hostile file a user can leave under a name the program reads.
enum class THostile { Fifo, DevZero, Huge };

const char* Name(THostile h)
{
    return h == THostile::Fifo ? "named pipe" : h == THostile::DevZero ? "link to /dev/zero" : "huge file";
}

void MakeHostile(const std::string& path, THostile kind, size_t hugeBytes)
{
    fs::remove(path);
    switch (kind) {
    case THostile::Fifo: ASSERT_EQ(::mkfifo(path.c_str(), 0644), 0); break;
    case THostile::DevZero: fs::create_symlink("/dev/zero", path); break;
    case THostile::Huge: WriteFile(path, "[S]\n" + std::string(hugeBytes, 'x') + "\n"); break;
    }
}

// The hostile file is still there as it was made.
void ExpectUnchanged(const std::string& path, THostile kind, size_t hugeBytes)
{
    std::error_code ec;
    switch (kind) {
    case THostile::Fifo: EXPECT_TRUE(IsFifo(path)) << path; break;
    case THostile::DevZero: EXPECT_TRUE(IsLinkTo(path, "/dev/zero")) << path; break;
    case THostile::Huge: EXPECT_EQ(fs::file_size(path, ec), hugeBytes + 5) << path; break;
    }
}

class FilesFault : public ProgramFolderTest {
protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(CopyProgram());
        WriteOptions("OutputFormat=0\nLastOutputOpenDir=" + tmp.dir() + "\n");
        WriteFile(app + "langs/English_Profile/avi/Test Tiny.avo", "[General]\nDescription=tests\n");
    }

    TRunResult Cli(const std::vector<std::string>& args)
    {
        std::vector<std::string> all = {app + "quorvex-cli"};
        all.insert(all.end(), args.begin(), args.end());
        return RunProgram(all, kLimitSeconds, tmp.dir());
    }

};

// options.ini, config.ini and a profile as a pipe, a link to /dev/zero or a
// file beyond 1 MiB: the start finishes with the defaults (a warning names
// options.ini or config.ini), and the file is left exactly as it was.
TEST_F(FilesFault, HostileSettingsFilesGiveDefaultsAndStayUntouched)
{
    const size_t huge = 1024 * 1024 + 10;
    struct Case {
        std::string file;
        std::string warning; // how quorvex-cli says that the file was not read; "" for no warning
    };
    const std::vector<Case> cases = {
        {"options.ini", "warning: The options file \"" + app + "options.ini\" was not read: "},
        {"config.ini", "warning: The configuration file \"" + app + "config.ini\" was not used: "},
        {"langs/English_Profile/avi/Hostile.avo", ""},
    };
    for (const Case& c : cases) {
        for (THostile kind : {THostile::Fifo, THostile::DevZero, THostile::Huge}) {
            SCOPED_TRACE(c.file + " as " + Name(kind));
            const std::string path = app + c.file;
            const std::string optionsBefore = c.file == "options.ini" ? "" : ReadFile(app + "options.ini");
            MakeHostile(path, kind, huge);

            const TRunResult r = Cli({"--list-profiles", "-f", "avi"});
            EXPECT_EQ(r.exitCode, 0) << r.output;
            EXPECT_CONTAINS(r.output, "Test Tiny");
            if (!c.warning.empty()) {
                EXPECT_CONTAINS(r.output, c.warning);
                EXPECT_CONTAINS(r.output, kind == THostile::Huge ? "it is larger than 1 MiB" : "it is not a regular file");
            } else {
                EXPECT_EQ(r.output.find("warning"), std::string::npos) << r.output;
                EXPECT_EQ(ReadFile(app + "options.ini"), optionsBefore);
            }
            ExpectUnchanged(path, kind, huge);
            fs::remove(path);
            if (c.file == "options.ini")
                WriteFile(path, "[VideoConvertoptions]\nOutputFormat=0\n");
        }
    }
}

// A language file that cannot be read ends the start with a message naming
// the file and the reason, promptly, and is not replaced by the English file.
TEST_F(FilesFault, HostileLanguageFileIsRefusedWithItsReason)
{
    const size_t huge = 1024 * 1024 + 10;
    const std::string path = app + "langs/English.ini";
    for (THostile kind : {THostile::Fifo, THostile::DevZero, THostile::Huge}) {
        SCOPED_TRACE(Name(kind));
        MakeHostile(path, kind, huge);
        const TRunResult r = Cli({"--list-profiles", "-f", "avi"});
        EXPECT_NE(r.exitCode, 0);
        EXPECT_NE(r.exitCode, -1) << "did not end in time";
        EXPECT_CONTAINS(r.output, "The language file \"" + path + "\" cannot be read: ");
        EXPECT_CONTAINS(r.output, kind == THostile::Huge ? "larger than 1 MiB" : "not a regular file");
        ExpectUnchanged(path, kind, huge);
    }
}

// The English file written when it is missing holds everything the start
// needs: the second start loads it as the first did, with the shipped lists.
TEST_F(FilesFault, DeletedEnglishFileIsWrittenWhole)
{
    const std::string path = app + "langs/English.ini";
    const TIniFile shipped(path);
    fs::remove(path);
    for (int start = 1; start <= 2; ++start) {
        SCOPED_TRACE("start " + std::to_string(start));
        const TRunResult r = Cli({"--list-profiles", "-f", "avi"});
        EXPECT_EQ(r.exitCode, 0) << r.output;
        EXPECT_EQ(r.output.find("Invalid"), std::string::npos) << r.output;
        EXPECT_CONTAINS(r.output, "Test Tiny"); // the avi profile list is shown
    }
    const TIniFile written(path);
    for (const char* section : {"DazadUVI_AVSExt", "DazadUVI_Filters"})
        EXPECT_EQ(written.ReadSectionValues(section), shipped.ReadSectionValues(section)) << section;
    EXPECT_EQ(written.ReadSection("DazadUVI_Convert").size(), 289u);
}

// avcore.dll given a script that is a pipe, a link to /dev/zero or beyond
// 64 KiB fails at once with the reason and writes no output; a proper script
// next to them still converts.
TEST_F(FilesFault, EncoderRefusesScriptsThatAreNotSmallRegularFiles)
{
    const std::string clip = enctest::MakeSource(tmp, enctest::TSourceKind::AudioOnly);
    if (clip.empty())
        GTEST_SKIP() << "ffmpeg cannot make the sample clip";
    const std::string script = tmp.file("in.avs");
    struct Case {
        std::function<void()> make;
        std::string reason;
    };
    const std::vector<Case> cases = {
        {[&] { ASSERT_EQ(::mkfifo(script.c_str(), 0644), 0); }, "it is not a regular file"},
        {[&] { fs::create_symlink("/dev/zero", script); }, "it is not a regular file"},
        {[&] { fs::create_directory(script); }, "it is not a regular file"},
        {[&] { WriteFile(script, std::string(64 * 1024, '#') + "\nDirectShowSource(\"" + clip + "\")\n"); },
         "it is larger than 64 KiB"},
        {[&] { WriteFile(script, "DirectShowSource(\"" + clip + "\")\n"); }, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reason.empty() ? "proper script" : c.reason);
        fs::remove_all(script);
        c.make();
        const std::string output = tmp.file("out.wav");
        fs::remove(output);
        const TRunResult r = RunProgram(enctest::EncoderArgs(script, "-y -f wav ", output), kLimitSeconds);
        if (c.reason.empty()) {
            EXPECT_EQ(r.exitCode, 0) << r.output;
            EXPECT_TRUE(fs::exists(output));
        } else {
            EXPECT_EQ(r.exitCode, 1) << r.output;
            EXPECT_CONTAINS(r.output, "could not read the script '" + script + "': " + c.reason);
            EXPECT_FALSE(fs::exists(output));
        }
    }
}

// A DirectShow template that is a pipe or a link to /dev/zero fails the file
// with the reason instead of hanging the batch; the source stays.
TEST_F(FilesFault, HostileDirectShowTemplateFailsTheFileWithItsReason)
{
    const std::string clip = enctest::MakeSource(tmp, enctest::TSourceKind::AudioOnly);
    if (clip.empty())
        GTEST_SKIP() << "ffmpeg cannot make the sample clip";
    WriteFile(app + "options.ini", "[VideoConvertoptions]\nOutputFormat=15\nUseDirectShow=1\n");
    WriteFile(app + "langs/English_Profile/wav/Test Tiny.wao", "[General]\nDescription=tests\n");
    const std::string tmpl = app + "langs/English_Profile/DirectShow.avs";
    for (THostile kind : {THostile::Fifo, THostile::DevZero}) {
        SCOPED_TRACE(Name(kind));
        MakeHostile(tmpl, kind, 0);
        const TRunResult r = Cli({"-f", "wav", "-p", "test tiny", "-o", tmp.dir() + "out", "-y", clip});
        EXPECT_EQ(r.exitCode, 1) << r.output;
        EXPECT_CONTAINS(r.output, "\"" + tmpl + "\": it is not a regular file");
        EXPECT_TRUE(fs::exists(clip));
        EXPECT_FALSE(fs::exists(tmp.dir() + "out/a.wav"));
        ExpectUnchanged(tmpl, kind, 0);
    }
}

} // namespace
