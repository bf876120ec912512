#include "encoder/Process.h"

#include "platform/StartProcess.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace avcore {

namespace {

constexpr int MaxChildren = 8;
volatile sig_atomic_t gStopSignal = 0;
volatile pid_t gChildren[MaxChildren] = {};
int gWakePipe[2] = {-1, -1};

void RegisterChild(pid_t pid)
{
    for (auto& slot : gChildren)
        if (slot == 0) {
            slot = pid;
            return;
        }
}

void UnregisterChild(pid_t pid)
{
    for (auto& slot : gChildren)
        if (slot == pid)
            slot = 0;
}

extern "C" void OnStopSignal(int sig)
{
    int savedErrno = errno;
    if (gStopSignal == 0)
        gStopSignal = sig;
    for (auto& slot : gChildren)
        if (slot > 0)
            kill(slot, SIGTERM);
    if (gWakePipe[1] >= 0) {
        char c = 1;
        ssize_t ignored = write(gWakePipe[1], &c, 1);
        (void)ignored;
    }
    errno = savedErrno;
}

bool MakePipe(int fds[2])
{
    return pipe2(fds, O_CLOEXEC) == 0;
}

} // namespace

void CloseFd(int& fd)
{
    if (fd >= 0)
        close(fd);
    fd = -1;
}

bool Spawn(const TSpawnSpec& spec, TChild& child, std::string& error)
{
    child = TChild();
    int outPipe[2] = {-1, -1}, errPipe[2] = {-1, -1}, progPipe[2] = {-1, -1};
    auto closeAll = [&] {
        for (int* p : {outPipe, errPipe, progPipe}) {
            CloseFd(p[0]);
            CloseFd(p[1]);
        }
    };
    if ((spec.pipeStdout && !MakePipe(outPipe)) || (spec.pipeStderr && !MakePipe(errPipe))
        || (spec.pipeProgress && !MakePipe(progPipe))) {
        error = std::string("cannot create a pipe: ") + std::strerror(errno);
        closeAll();
        return false;
    }
    TProcessStart start;
    start.Args = spec.argv;
    start.StdIn = spec.stdinFd;
    start.StdOut = outPipe[1];
    start.StdErr = spec.pipeStderr ? errPipe[1] : STDERR_FILENO;
    start.Handle3 = progPipe[1];
    start.EndWithParent = true;
    const TStartedProcess started = StartProcess(start);
    CloseFd(outPipe[1]);
    CloseFd(errPipe[1]);
    CloseFd(progPipe[1]);
    if (!started.Started()) {
        error = "cannot start '" + spec.argv[0] + "': " + std::strerror(started.Error);
        closeAll();
        return false;
    }
    RegisterChild(started.Pid);
    for (int fd : {outPipe[0], errPipe[0], progPipe[0]})
        if (fd >= 0)
            fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    child.pid = started.Pid;
    child.out = outPipe[0];
    child.err = errPipe[0];
    child.progress = progPipe[0];
    return true;
}

int WaitChild(pid_t pid)
{
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            status = 0;
            break;
        }
    }
    UnregisterChild(pid);
    return status;
}

bool ReadAvailable(int fd, std::string& buffer)
{
    char chunk[16384];
    for (;;) {
        ssize_t n = read(fd, chunk, sizeof chunk);
        if (n > 0) {
            buffer.append(chunk, static_cast<size_t>(n));
            continue;
        }
        if (n == 0)
            return false;
        if (errno == EINTR)
            continue;
        return errno == EAGAIN || errno == EWOULDBLOCK;
    }
}

bool RunCapture(const std::vector<std::string>& argv, std::string& out, std::string& err, int& exitCode,
                std::string& error)
{
    TSpawnSpec spec;
    spec.argv = argv;
    spec.pipeStdout = true;
    spec.pipeStderr = true;
    TChild child;
    if (!Spawn(spec, child, error))
        return false;
    while (child.out >= 0 || child.err >= 0) {
        pollfd fds[2];
        nfds_t count = 0;
        for (int fd : {child.out, child.err})
            if (fd >= 0)
                fds[count++] = {fd, POLLIN, 0};
        if (poll(fds, count, -1) < 0 && errno != EINTR)
            break;
        if (child.out >= 0 && !ReadAvailable(child.out, out))
            CloseFd(child.out);
        if (child.err >= 0 && !ReadAvailable(child.err, err))
            CloseFd(child.err);
    }
    CloseFd(child.out);
    CloseFd(child.err);
    int status = WaitChild(child.pid);
    exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return true;
}

void InstallStopHandlers()
{
    if (gWakePipe[0] < 0 && pipe2(gWakePipe, O_CLOEXEC | O_NONBLOCK) != 0)
        gWakePipe[0] = gWakePipe[1] = -1;
    struct sigaction sa;
    std::memset(&sa, 0, sizeof sa);
    sa.sa_handler = OnStopSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (int sig : {SIGTERM, SIGINT, SIGHUP})
        sigaction(sig, &sa, nullptr);
    signal(SIGPIPE, SIG_IGN);
}

int StopSignal() { return gStopSignal; }

int StopWakeFd() { return gWakePipe[0]; }

void SignalChildren(int sig)
{
    for (auto& slot : gChildren)
        if (slot > 0)
            kill(slot, sig);
}

} // namespace avcore
