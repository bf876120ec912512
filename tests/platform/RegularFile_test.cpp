#include "platform/IniFile.h"
#include "platform/RegularFile.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using qvtest::ReadFile;
using qvtest::TempDir;
using qvtest::WriteFile;
namespace fs = std::filesystem;

namespace {

// What may stand under a file name, and what the bounded reader makes of it.
// None of these may block or read without end.
TEST(RegularFile, OnlySmallRegularFilesAreRead)
{
    TempDir dir;
    const std::string path = dir.file("f");
    const size_t limit = 100;
    int socketFd = -1;
    struct Case {
        const char* name;
        std::function<void()> make;
        TFileReadStatus status;
        std::string problem;
        std::string content;
    } cases[] = {
        {"missing", [] {}, TFileReadStatus::Missing, "", ""},
        {"empty", [&] { WriteFile(path, ""); }, TFileReadStatus::Ok, "", ""},
        {"exactly the bound", [&] { WriteFile(path, std::string(limit, 'a')); }, TFileReadStatus::Ok, "",
         std::string(limit, 'a')},
        {"one byte beyond", [&] { WriteFile(path, std::string(limit + 1, 'a')); }, TFileReadStatus::TooLarge,
         "it is larger than 100 bytes", ""},
        {"link to a regular file", [&] { WriteFile(dir.file("t"), "abc"); fs::create_symlink(dir.file("t"), path); },
         TFileReadStatus::Ok, "", "abc"},
        {"named pipe", [&] { ASSERT_EQ(::mkfifo(path.c_str(), 0644), 0); }, TFileReadStatus::NotRegular,
         "it is not a regular file (a named pipe)", ""},
        {"link to /dev/zero", [&] { fs::create_symlink("/dev/zero", path); }, TFileReadStatus::NotRegular,
         "it is not a regular file (a device)", ""},
        {"folder", [&] { fs::create_directory(path); }, TFileReadStatus::NotRegular,
         "it is not a regular file (a folder)", ""},
        {"socket",
         [&] {
             socketFd = ::socket(AF_UNIX, SOCK_STREAM, 0);
             sockaddr_un addr {};
             addr.sun_family = AF_UNIX;
             ASSERT_LT(path.size(), sizeof addr.sun_path);
             std::copy(path.begin(), path.end(), addr.sun_path);
             ASSERT_EQ(::bind(socketFd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
         },
         TFileReadStatus::NotRegular, "it is not a regular file (a socket)", ""},
        {"broken link", [&] { fs::create_symlink(dir.file("nothing"), path); }, TFileReadStatus::Missing, "", ""},
        {"below a file", [&] { WriteFile(dir.file("plain"), "x"); }, TFileReadStatus::Missing, "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(path);
        fs::remove_all(dir.file("t"));
        c.make();
        const std::string name = std::string(c.name) == "below a file" ? dir.file("plain/f") : path;
        const TFileRead r = ReadRegularFile(name, limit);
        EXPECT_EQ(r.Status, c.status);
        EXPECT_EQ(r.Problem, c.problem);
        EXPECT_EQ(r.Content, c.content);
    }
    if (socketFd >= 0)
        ::close(socketFd);
}

TEST(RegularFile, UnreadableFileIsRefusedWithTheSystemReason)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "root reads files without read permission";
    TempDir dir;
    WriteFile(dir.file("f"), "[S]\nK=v\n");
    ::chmod(dir.file("f").c_str(), 0200);
    const TFileRead r = ReadRegularFile(dir.file("f"), 1000);
    EXPECT_EQ(r.Status, TFileReadStatus::Failed);
    EXPECT_EQ(r.Problem, "Permission denied");
}

// An INI file that is refused reads as empty, says why, and is never replaced
// by a write; a missing one is created as before.
// TMPDIR is taken only when it names a folder that can be written to;
// anything else gives /tmp (std::filesystem would throw, or hand back a
// relative path that means another folder once the current one changes).
TEST(RegularFile, TemporaryFolderFallsBackToTmp)
{
    TempDir dir;
    const std::string folder = dir.dir() + "t";
    fs::create_directories(folder);
    WriteFile(dir.file("file"), "");
    fs::create_directories(dir.dir() + "locked");
    fs::permissions(dir.dir() + "locked", fs::perms::owner_read | fs::perms::owner_exec);
    const char* saved = std::getenv("TMPDIR");
    const std::string before = saved ? saved : "";
    const struct {
        const char* name;
        std::optional<std::string> tmpdir;
        std::string expected;
    } cases[] = {
        {"unset", std::nullopt, "/tmp"},
        {"empty", "", "/tmp"},
        {"relative", "t", "/tmp"},
        {"missing", dir.dir() + "missing", "/tmp"},
        {"a file", dir.file("file"), "/tmp"},
        {"a folder", folder, folder},
        {"trailing slashes", folder + "//", folder},
        // root may write anywhere, so the unwritable folder is usable then
        {"not writable", dir.dir() + "locked", geteuid() == 0 ? dir.dir() + "locked" : "/tmp"},
    };
    for (const auto& c : cases) {
        if (c.tmpdir)
            setenv("TMPDIR", c.tmpdir->c_str(), 1);
        else
            unsetenv("TMPDIR");
        EXPECT_EQ(TemporaryFolder(), c.expected) << c.name;
    }
    if (saved)
        setenv("TMPDIR", before.c_str(), 1);
    else
        unsetenv("TMPDIR");
    fs::permissions(dir.dir() + "locked", fs::perms::owner_all);
}

TEST(IniFile, RefusedFileReadsEmptyAndIsNeverReplaced)
{
    TempDir dir;
    const std::string path = dir.file("a.ini");
    const std::string huge = "[S]\nK=v\n" + std::string(IniFileSizeLimit, ';');
    struct Case {
        const char* name;
        std::function<void()> make;
        std::function<bool()> unchanged;
    } cases[] = {
        {"named pipe", [&] { ASSERT_EQ(::mkfifo(path.c_str(), 0644), 0); },
         [&] { return fs::is_fifo(fs::symlink_status(path)); }},
        {"link to /dev/zero", [&] { fs::create_symlink("/dev/zero", path); },
         [&] { return fs::is_symlink(path) && fs::read_symlink(path) == "/dev/zero"; }},
        {"beyond 1 MiB", [&] { WriteFile(path, huge); }, [&] { return ReadFile(path) == huge; }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(path);
        c.make();
        TIniFile ini(path);
        EXPECT_FALSE(ini.Problem().empty());
        EXPECT_EQ(ini.ReadString("S", "K", "fallback"), "fallback");
        ini.WriteString("S", "K", "new");
        EXPECT_THROW(ini.UpdateFile(), EIniWriteError);
        EXPECT_TRUE(c.unchanged());
    }
    fs::remove_all(path);
    TIniFile fresh(path);
    EXPECT_EQ(fresh.Problem(), "");
    fresh.WriteString("S", "K", "v");
    fresh.UpdateFile();
    EXPECT_EQ(ReadFile(path), "[S]\nK=v\n");
}

} // namespace
