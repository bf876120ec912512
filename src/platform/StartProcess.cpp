#include "platform/StartProcess.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>

#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <sched.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

// The sanitizers keep their bookkeeping in memory that a child sharing the
// parent's memory on a stack of its own would corrupt: GCC says so with
// __SANITIZE_ADDRESS__ / __SANITIZE_THREAD__, clang only through __has_feature.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define QV_SANITIZED_BUILD 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || __has_feature(memory_sanitizer)
#define QV_SANITIZED_BUILD 1
#endif
#endif

#ifndef CLOSE_RANGE_CLOEXEC
#define CLOSE_RANGE_CLOEXEC (1U << 2)
#endif

namespace {

void CloseFd(int& fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

// What the child does before exec, all prepared by the parent.
struct TChildPlan {
    const char* Program = nullptr;
    char* const* Argv = nullptr;
    char* const* Envp = nullptr;
    const char* Directory = nullptr; // null: stay
    int Handles[4] = {-1, -1, -1, -1}; // descriptors 0 to 3; the last may be -1 (none)
    int StatusFd = -1; // the child writes its errno here when it cannot run the program
    bool OwnProcessGroup = false;
    bool EndWithParent = false;
    pid_t Parent = 0;
    bool SetNice = false;
    int Nice = 0;
    int MaxFd = 1024; // the descriptor limit, for closing without close_range or /proc
};

// Marks every descriptor from First upwards close-on-exec, so that the
// program gets only the handles it was given: nothing this process inherited
// or opened without O_CLOEXEC reaches it. close_range does it in one call;
// a kernel without it (before 5.11) gets the open descriptors read from
// /proc/self/fd with getdents64 (no allocation), or, without /proc, a loop
// up to the descriptor limit.
void CloseOthersOnExec(int first, int maxFd)
{
    if (::syscall(SYS_close_range, static_cast<unsigned>(first), ~0U, CLOSE_RANGE_CLOEXEC) == 0)
        return;
    const int dir = ::open("/proc/self/fd", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        alignas(8) char buffer[4096];
        long got;
        while ((got = ::syscall(SYS_getdents64, dir, buffer, sizeof buffer)) > 0) {
            for (long at = 0; at < got;) {
                const auto* entry = reinterpret_cast<const struct dirent64*>(buffer + at);
                at += entry->d_reclen;
                int fd = 0;
                const char* c = entry->d_name;
                if (*c < '0' || *c > '9')
                    continue;
                for (; *c >= '0' && *c <= '9'; ++c)
                    fd = fd * 10 + (*c - '0');
                if (fd >= first && fd != dir)
                    ::fcntl(fd, F_SETFD, FD_CLOEXEC);
            }
        }
        ::close(dir);
        if (got == 0)
            return;
    }
    for (int fd = first; fd < maxFd; ++fd)
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
}

// Reports Err to the parent and ends the child.
[[noreturn]] void ChildFailed(int statusFd, int err)
{
    ssize_t written = ::write(statusFd, &err, sizeof err);
    (void)written;
    ::_exit(127);
}

// The child before exec: it shares the parent's memory (the parent waits
// until exec or _exit), so only async-signal-safe calls that write nothing
// the parent reads.
[[noreturn]] void RunChild(const TChildPlan& plan)
{
    // Every signal arrives blocked (see StartProcess). A handler of the parent
    // must never run here, on the parent's memory: caught signals go back to
    // their defaults before anything is unblocked. Ignored signals would stay
    // ignored across exec: the program gets the defaults of these. This comes
    // first, so that the death signal below can end the child.
    for (int sig = 1; sig < NSIG; ++sig) {
        struct sigaction current = {};
        if (::sigaction(sig, nullptr, &current) == 0 && current.sa_handler != SIG_DFL &&
            current.sa_handler != SIG_IGN)
            ::signal(sig, SIG_DFL);
    }
    for (int sig : {SIGPIPE, SIGINT, SIGTERM, SIGHUP, SIGQUIT})
        ::signal(sig, SIG_DFL);
    sigset_t none;
    ::sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    if (plan.EndWithParent) {
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        // The parent may have died before the death signal was set.
        if (::getppid() != plan.Parent)
            ::_exit(127);
    }
    if (plan.OwnProcessGroup)
        ::setpgid(0, 0);
    if (plan.SetNice && ::setpriority(PRIO_PROCESS, 0, plan.Nice) != 0)
        ::setpriority(PRIO_PROCESS, 0, 0); // a refused raise runs at normal priority
    // The handles, and the status pipe, are first moved above 3, so that one
    // of them sitting on a descriptor it does not belong on is never
    // overwritten before its turn (a status pipe on descriptor 3 would turn
    // a failed start into a started one).
    const int status = ::fcntl(plan.StatusFd, F_DUPFD_CLOEXEC, 4);
    if (status < 0)
        ChildFailed(plan.StatusFd, errno);
    const int count = plan.Handles[3] >= 0 ? 4 : 3;
    int moved[4];
    for (int i = 0; i < count; ++i) {
        moved[i] = ::fcntl(plan.Handles[i], F_DUPFD_CLOEXEC, 4);
        if (moved[i] < 0)
            ChildFailed(status, errno);
    }
    for (int i = 0; i < count; ++i)
        if (::dup2(moved[i], i) < 0)
            ChildFailed(status, errno);
    CloseOthersOnExec(count, plan.MaxFd);
    if (plan.Directory && ::chdir(plan.Directory) != 0)
        ChildFailed(status, errno);
    ::execve(plan.Program, plan.Argv, plan.Envp);
    ChildFailed(status, errno);
}

#if !defined(QV_SANITIZED_BUILD)
int ChildEntry(void* plan) { RunChild(*static_cast<const TChildPlan*>(plan)); }
#endif

// Starts the child as vfork does: it shares this process's memory and this
// thread waits until it has called exec (or ended), so nothing of the
// parent's memory is copied; with a large parent, a plain fork spends
// milliseconds copying page tables for every file. The child runs on a stack
// of its own, with every signal blocked until it has reset their handlers.
pid_t StartChild(TChildPlan& plan)
{
#if defined(QV_SANITIZED_BUILD)
    // The sanitizer's bookkeeping does not follow a child on a stack of its
    // own in shared memory: sanitized builds copy the process.
    sigset_t all, old;
    ::sigfillset(&all);
    ::pthread_sigmask(SIG_SETMASK, &all, &old);
    const pid_t pid = ::fork();
    if (pid == 0)
        RunChild(plan);
    const int err = errno;
    ::pthread_sigmask(SIG_SETMASK, &old, nullptr);
    errno = err;
    return pid;
#else
    constexpr size_t StackSize = 256 * 1024;
    void* stack = ::mmap(nullptr, StackSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_STACK, -1, 0);
    if (stack == MAP_FAILED)
        return -1;
    sigset_t all, old;
    ::sigfillset(&all);
    ::pthread_sigmask(SIG_SETMASK, &all, &old);
    const pid_t pid = ::clone(ChildEntry, static_cast<char*>(stack) + StackSize, CLONE_VM | CLONE_VFORK | SIGCHLD,
                              &plan);
    const int err = errno;
    ::pthread_sigmask(SIG_SETMASK, &old, nullptr);
    ::munmap(stack, StackSize);
    errno = err;
    return pid;
#endif
}

// Pointers to the texts, ended by a null pointer.
std::vector<char*> PointersTo(std::vector<std::string>& texts)
{
    std::vector<char*> pointers;
    pointers.reserve(texts.size() + 1);
    for (auto& t : texts)
        pointers.push_back(t.data());
    pointers.push_back(nullptr);
    return pointers;
}

} // namespace

std::string FindProgram(const std::string& name)
{
    if (name.empty())
        return {};
    if (name.find('/') != std::string::npos)
        return name;
    const char* path = std::getenv("PATH");
    const std::string dirs = path ? path : "/usr/local/bin:/usr/bin:/bin";
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t end = dirs.find(':', start);
        if (end == std::string::npos)
            end = dirs.size();
        // An empty entry stands for the current folder.
        std::string candidate = end > start ? dirs.substr(start, end - start) : std::string(".");
        candidate += '/';
        candidate += name;
        if (::access(candidate.c_str(), X_OK) == 0)
            return candidate;
        start = end + 1;
    }
    return {};
}

TStartedProcess StartProcess(const TProcessStart& start)
{
    TStartedProcess result;
    if (start.Args.empty()) {
        result.Error = EINVAL;
        return result;
    }
    const std::string program = FindProgram(start.Args[0]);
    if (program.empty()) {
        result.Error = ENOENT;
        return result;
    }
    std::vector<std::string> args = start.Args;
    std::vector<char*> argv = PointersTo(args);
    std::vector<std::string> env = start.Environment.value_or(std::vector<std::string>());
    std::vector<char*> envp = PointersTo(env);

    int devNull = -1;
    if (start.StdIn < 0 || start.StdOut < 0 || start.StdErr < 0) {
        devNull = ::open("/dev/null", O_RDWR | O_CLOEXEC);
        if (devNull < 0) {
            result.Error = errno;
            return result;
        }
    }
    int status[2] = {-1, -1};
    if (::pipe2(status, O_CLOEXEC) != 0) {
        result.Error = errno;
        CloseFd(devNull);
        return result;
    }

    TChildPlan plan;
    plan.Program = program.c_str();
    plan.Argv = argv.data();
    plan.Envp = start.Environment ? envp.data() : environ;
    plan.Directory = start.Directory.empty() ? nullptr : start.Directory.c_str();
    plan.Handles[0] = start.StdIn >= 0 ? start.StdIn : devNull;
    plan.Handles[1] = start.StdOut >= 0 ? start.StdOut : devNull;
    plan.Handles[2] = start.StdErr >= 0 ? start.StdErr : devNull;
    plan.Handles[3] = start.Handle3;
    plan.StatusFd = status[1];
    plan.OwnProcessGroup = start.OwnProcessGroup;
    plan.EndWithParent = start.EndWithParent;
    plan.Parent = ::getpid();
    plan.SetNice = start.Nice.has_value();
    plan.Nice = start.Nice.value_or(0);
    struct rlimit files {};
    if (::getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur != RLIM_INFINITY)
        plan.MaxFd = static_cast<int>(std::min<rlim_t>(files.rlim_cur, 1 << 20));

    const pid_t pid = StartChild(plan);
    const int forkError = errno;
    if (pid > 0 && start.OwnProcessGroup)
        ::setpgid(pid, pid); // also from here, so the group exists before anyone signals it
    CloseFd(status[1]);
    CloseFd(devNull);
    if (pid < 0) {
        CloseFd(status[0]);
        result.Error = forkError;
        return result;
    }
    // The status pipe closes on exec; an errno arrives when the child could
    // not run the program.
    int childError = 0;
    ssize_t got;
    do {
        got = ::read(status[0], &childError, sizeof childError);
    } while (got < 0 && errno == EINTR);
    CloseFd(status[0]);
    if (got == static_cast<ssize_t>(sizeof childError)) {
        TProcessEnd end;
        WaitForProcess(pid, end);
        result.Error = childError;
        return result;
    }
    result.Pid = pid;
    return result;
}

bool WaitForProcess(int pid, TProcessEnd& end)
{
    if (pid <= 0) // waitpid would take any child then
        return false;
    int status = 0;
    pid_t r;
    do {
        r = ::waitpid(pid, &status, 0);
    } while (r < 0 && errno == EINTR);
    if (r != pid)
        return false;
    end = TProcessEnd{};
    if (WIFEXITED(status)) {
        end.Exited = true;
        end.Code = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        end.Signal = WTERMSIG(status);
    }
    return true;
}

int RunProcess(const std::vector<std::string>& args, std::string* output, bool withErrors)
{
    int out[2] = {-1, -1};
    if (output && ::pipe2(out, O_CLOEXEC) != 0)
        return -1;
    TProcessStart start;
    start.Args = args;
    start.StdOut = out[1];
    if (output && withErrors)
        start.StdErr = out[1];
    const TStartedProcess child = StartProcess(start);
    CloseFd(out[1]);
    if (output && child.Started()) {
        char buffer[512];
        for (;;) {
            const ssize_t n = ::read(out[0], buffer, sizeof buffer);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            output->append(buffer, static_cast<size_t>(n));
        }
    }
    CloseFd(out[0]);
    TProcessEnd end;
    if (!child.Started() || !WaitForProcess(child.Pid, end) || !end.Exited)
        return -1;
    return end.Code;
}
