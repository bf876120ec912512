#include "platform/Trash.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <regex>
#include <sstream>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::string ReadText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteText(const std::string& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

// Sets an environment variable for one test and puts the old value back.
class TEnvVar {
public:
    TEnvVar(const char* name, const char* value) : name_(name)
    {
        if (const char* old = std::getenv(name))
            old_ = old;
        value ? setenv(name, value, 1) : unsetenv(name);
    }
    ~TEnvVar() { old_ ? setenv(name_, old_->c_str(), 1) : unsetenv(name_); }

private:
    const char* name_;
    std::optional<std::string> old_;
};

const std::regex InfoShape("\\[Trash Info\\]\nPath=([^\n]*)\nDeletionDate=\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\n");

std::string InfoPath(const std::string& infoFile)
{
    std::smatch m;
    const std::string text = ReadText(infoFile);
    return std::regex_match(text, m, InfoShape) ? m[1].str() : "<bad info: " + text + ">";
}

} // namespace

TEST(Trash, PathEncodingKeepsOnlyPlainBytes)
{
    EXPECT_EQ(TrashPathEncode("/home/u/a b%c/Ä.ogg"), "/home/u/a%20b%25c/%C3%84.ogg");
    EXPECT_EQ(TrashPathEncode("x-y_z.~/#?&"), "x-y_z.~/%23%3F%26");
}

// Files on the home file system go to the home trash, made where missing
// (also ~/.local/share itself), under a name nobody holds.
TEST(Trash, HomeTrashOnTheHomeFileSystem)
{
    const std::string longName = std::string(250, 'n') + ".flac";
    struct TCase {
        const char* what;
        bool useDataHome;       // XDG_DATA_HOME set, else ~/.local/share
        std::string name;
        int sameNameBefore;     // files of that name trashed before
        std::string trashedName;
    } cases[] = {
        {"XDG_DATA_HOME missing", true, "a b%c ä.ogg", 0, "a b%c ä.ogg"},
        {"no ~/.local/share", false, "song.mp3", 0, "song.mp3"},
        {"name taken twice", true, "song.mp3", 2, "song.3.mp3"},
        {"no extension", true, "README", 1, "README.2"},
        {"name cut for the info file", true, longName, 0, std::string(245 - 5, 'n') + ".flac"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.what);
        qvtest::TempDir tmp;
        const std::string home = tmp.file("home"), data = tmp.file("data");
        fs::create_directories(home);
        fs::create_directories(tmp.file("music"));
        TEnvVar homeVar("HOME", home.c_str());
        TEnvVar dataVar("XDG_DATA_HOME", c.useDataHome ? data.c_str() : nullptr);
        const std::string trash = c.useDataHome ? data + "/Trash" : home + "/.local/share/Trash";
        const std::string source = tmp.file("music/" + c.name);
        for (int i = 0; i < c.sameNameBefore; ++i) {
            WriteText(source, "old");
            ASSERT_TRUE(MoveToTrash(source).Moved);
        }
        WriteText(source, "new");
        const TTrashResult r = MoveToTrash(source);
        ASSERT_TRUE(r.Moved) << r.Problem;
        EXPECT_FALSE(fs::exists(source));
        EXPECT_EQ(r.TrashedFile, trash + "/files/" + c.trashedName);
        EXPECT_EQ(ReadText(r.TrashedFile), "new");
        EXPECT_EQ(r.InfoFile, trash + "/info/" + c.trashedName + ".trashinfo");
        EXPECT_EQ(InfoPath(r.InfoFile), TrashPathEncode(fs::canonical(tmp.path()).string() + "/music/" + c.name));
        EXPECT_EQ(fs::status(trash).permissions() & fs::perms::all, fs::perms::owner_all);
    }
}

TEST(Trash, SymbolicLinkIsMovedNotItsTarget)
{
    qvtest::TempDir tmp;
    TEnvVar dataVar("XDG_DATA_HOME", tmp.file("data").c_str());
    WriteText(tmp.file("target.ogg"), "x");
    fs::create_symlink(tmp.file("target.ogg"), tmp.file("link.ogg"));
    const TTrashResult r = MoveToTrash(tmp.file("link.ogg"));
    ASSERT_TRUE(r.Moved) << r.Problem;
    EXPECT_TRUE(fs::is_symlink(r.TrashedFile));
    EXPECT_EQ(ReadText(tmp.file("target.ogg")), "x");
}

// A trash that cannot be used leaves the file where it is, and no info file.
TEST(Trash, NoUsableTrashKeepsTheFile)
{
    struct TCase {
        const char* what;
        const char* blocker; // a regular file where the trash needs a folder
    } cases[] = {{"Trash is a file", "data/Trash"}, {"info is a file", "data/Trash/info"},
                 {"files is a file", "data/Trash/files"}, {"data home is a file", "data"}};
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.what);
        qvtest::TempDir tmp;
        TEnvVar dataVar("XDG_DATA_HOME", tmp.file("data").c_str());
        fs::create_directories(tmp.file(c.blocker)), fs::remove(tmp.file(c.blocker));
        WriteText(tmp.file(c.blocker), "not a folder");
        WriteText(tmp.file("song.ogg"), "keep me");
        const TTrashResult r = MoveToTrash(tmp.file("song.ogg"));
        EXPECT_FALSE(r.Moved);
        EXPECT_FALSE(r.Problem.empty());
        EXPECT_EQ(ReadText(tmp.file("song.ogg")), "keep me");
        EXPECT_FALSE(fs::exists(tmp.file("data/Trash/info/song.ogg.trashinfo")));
    }
    const TTrashResult missing = MoveToTrash("/nonexistent-quorvex/x.ogg");
    EXPECT_FALSE(missing.Moved);
}

namespace {

// Runs Check in a child process with a tmpfs of its own at Mount (a mount
// namespace of the child's own, so nothing outside sees it). Returns
// "skip: ..." when the system allows no such namespace, "" when Check
// passed, else Check's complaint.
std::string OnOwnTmpfs(const std::string& mount, const std::function<std::string()>& check)
{
    int fds[2];
    if (pipe(fds) != 0)
        return "pipe failed";
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        auto answer = [&](const std::string& text) {
            (void)!write(fds[1], text.data(), text.size());
            _exit(0);
        };
        if (getuid() != 0 && unshare(CLONE_NEWUSER) != 0)
            answer(std::string("skip: unshare(CLONE_NEWUSER): ") + std::strerror(errno));
        if (unshare(CLONE_NEWNS) != 0)
            answer(std::string("skip: unshare(CLONE_NEWNS): ") + std::strerror(errno));
        if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
            answer(std::string("skip: making mounts private: ") + std::strerror(errno));
        if (::mount("quorvex-test", mount.c_str(), "tmpfs", 0, "size=1m") != 0)
            answer(std::string("skip: mounting a tmpfs: ") + std::strerror(errno));
        answer(check());
    }
    close(fds[1]);
    std::string text;
    char buf[512];
    ssize_t n;
    while ((n = read(fds[0], buf, sizeof buf)) > 0)
        text.append(buf, static_cast<size_t>(n));
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return "child ended abnormally";
    return text;
}

} // namespace

// A file on another file system goes to a trash at that file system's top,
// never to the home trash (that would be a copy).
TEST(Trash, TrashOnAnotherFileSystem)
{
    const std::string uid = std::to_string(getuid());
    struct TCase {
        const char* what;
        std::function<void(const std::string& top)> prepare;
        std::string trash; // relative to the top; "" = no usable trash
    } cases[] = {
        {"user trash made", [](const std::string&) {}, ".Trash-" + uid},
        {"shared trash with sticky bit",
         [](const std::string& top) {
             fs::create_directory(top + "/.Trash");
             chmod((top + "/.Trash").c_str(), 01777);
         },
         ".Trash/" + uid},
        {"shared trash without sticky bit passed over",
         [](const std::string& top) {
             fs::create_directory(top + "/.Trash");
             chmod((top + "/.Trash").c_str(), 0777);
         },
         ".Trash-" + uid},
        {"shared trash as a link passed over",
         [](const std::string& top) {
             fs::create_directory(top + "/elsewhere");
             chmod((top + "/elsewhere").c_str(), 01777);
             fs::create_directory_symlink(top + "/elsewhere", top + "/.Trash");
         },
         ".Trash-" + uid},
        {"user trash as a link refused",
         [uid](const std::string& top) {
             fs::create_directory(top + "/elsewhere");
             fs::create_directory_symlink(top + "/elsewhere", top + "/.Trash-" + uid);
         },
         ""},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.what);
        qvtest::TempDir tmp;
        fs::create_directories(tmp.file("home"));
        fs::create_directories(tmp.file("mnt"));
        TEnvVar homeVar("HOME", tmp.file("home").c_str());
        TEnvVar dataVar("XDG_DATA_HOME", nullptr);
        const std::string top = tmp.file("mnt");
        const std::string result = OnOwnTmpfs(top, [&]() -> std::string {
            c.prepare(top);
            fs::create_directories(top + "/sub dir");
            const std::string source = top + "/sub dir/a.ogg";
            WriteText(source, "x");
            const TTrashResult r = MoveToTrash(source);
            if (fs::exists(tmp.file("home/.local/share/Trash")))
                return "the home trash was used";
            if (c.trash.empty())
                return !r.Moved && fs::exists(source) ? "" : "moved although no trash was usable";
            if (!r.Moved)
                return "not moved: " + r.Problem;
            if (r.TrashedFile != top + "/" + c.trash + "/files/a.ogg")
                return "moved to " + r.TrashedFile;
            if (InfoPath(r.InfoFile) != "sub%20dir/a.ogg")
                return "info: " + ReadText(r.InfoFile);
            return "";
        });
        if (result.rfind("skip: ", 0) == 0)
            GTEST_SKIP() << "no tmpfs in a mount namespace of the test's own: " << result.substr(6);
        EXPECT_EQ(result, "");
    }
}
