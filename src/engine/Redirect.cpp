#include "engine/Redirect.h"

#include "app/AppUtils.h"
#include "platform/StartProcess.h"
#include "platform/TextRules.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

// ---- Command-line quoting ----

std::vector<std::string> SplitCommandLine(const std::string& commandLine)
{
    std::vector<std::string> args;
    std::string current;
    bool inArgument = false; // something (perhaps an empty quoted part) belongs to current
    bool quoted = false;
    for (size_t i = 0; i < commandLine.size(); ++i) {
        char c = commandLine[i];
        if (quoted) {
            if (c == '\\' && i + 1 < commandLine.size() && (commandLine[i + 1] == '"' || commandLine[i + 1] == '\\')) {
                current += commandLine[++i];
            } else if (c == '"') {
                quoted = false;
            } else {
                current += c;
            }
        } else if (c == ' ' || c == '\t') {
            if (inArgument) {
                args.push_back(std::move(current));
                current.clear();
                inArgument = false;
            }
        } else if (c == '"') {
            quoted = true;
            inArgument = true;
        } else {
            current += c;
            inArgument = true;
        }
    }
    if (inArgument)
        args.push_back(std::move(current));
    return args;
}

std::string QuoteArgument(const std::string& argument)
{
    std::string out = "\"";
    for (char c : argument) {
        if (c == '"' || c == '\\')
            out += '\\';
        out += c;
    }
    out += '"';
    return out;
}

// ---- TEventLoop ----

TEventLoop::TEventLoop() : mainThread_(std::this_thread::get_id()) {}

TEventLoop::~TEventLoop() = default;

void TEventLoop::Post(std::function<void()> fn)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        tasks_.push_back(std::move(fn));
    }
    cv_.notify_all();
}

void TEventLoop::Invoke(std::function<void()> fn)
{
    if (std::this_thread::get_id() == mainThread_) {
        fn();
        return;
    }
    auto done = std::make_shared<bool>(false);
    auto m = std::make_shared<std::mutex>();
    auto cv = std::make_shared<std::condition_variable>();
    Post([fn = std::move(fn), done, m, cv] {
        struct TSignal {
            std::shared_ptr<bool> done;
            std::shared_ptr<std::mutex> m;
            std::shared_ptr<std::condition_variable> cv;
            ~TSignal()
            {
                std::lock_guard<std::mutex> lock(*m);
                *done = true;
                cv->notify_all();
            }
        } signal{done, m, cv};
        fn();
    });
    std::unique_lock<std::mutex> lock(*m);
    cv->wait(lock, [&] { return *done; });
}

bool TEventLoop::RunOne(std::unique_lock<std::mutex>& lock)
{
    if (tasks_.empty())
        return false;
    auto task = std::move(tasks_.front());
    tasks_.pop_front();
    lock.unlock();
    try {
        task();
    } catch (const std::exception& e) {
        if (onException_)
            onException_(e.what());
        else
            std::cerr << e.what() << '\n';
    }
    lock.lock();
    return true;
}

void TEventLoop::Run()
{
    std::unique_lock<std::mutex> lock(mutex_);
    mainThread_ = std::this_thread::get_id();
    quit_.push_back(false);
    const size_t level = quit_.size() - 1;
    for (;;) {
        cv_.wait(lock, [&] { return quit_[level] || !tasks_.empty(); });
        if (quit_[level])
            break;
        RunOne(lock);
    }
    quit_.pop_back();
}

void TEventLoop::Quit()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!quit_.empty())
            quit_.back() = true;
    }
    cv_.notify_all();
}

int TEventLoop::ProcessEvents(int waitMs)
{
    std::unique_lock<std::mutex> lock(mutex_);
    mainThread_ = std::this_thread::get_id();
    if (tasks_.empty() && waitMs > 0)
        cv_.wait_for(lock, std::chrono::milliseconds(waitMs), [&] { return !tasks_.empty(); });
    int count = 0;
    // Only what is queued now; tasks posted meanwhile wait for the next call.
    for (size_t n = tasks_.size(); n > 0; --n) {
        if (!RunOne(lock))
            break;
        ++count;
    }
    return count;
}

void TEventLoop::SetExceptionHandler(std::function<void(const std::string&)> handler)
{
    std::lock_guard<std::mutex> lock(mutex_);
    onException_ = std::move(handler);
}

// ---- Reader thread ----

struct TRedirectorThread::TState {
    TRedirector* Runner = nullptr; // used on the main thread only, while not abandoned
    int OutFd = -1;
    int ErrFd = -1;
    int PidFd = -1;
    int Pid = 0;
    std::atomic<bool> Stop{false};    // told to stop: leave the loop, report nothing more
    std::atomic<bool> Abandon{false}; // the runner is going away: leave at once
    std::atomic<bool> ProcessExited{false};
    std::atomic<bool> Reaped{false};
    std::atomic<bool> Finished{false};
    std::atomic<uint32_t> Available{0};
    int WaitStatus = 0;
    bool StatusKnown = false;

    std::mutex Mutex;
    std::condition_variable Cv;
    bool HandOverDone = false;
};

TRedirectorThread::TRedirectorThread(std::shared_ptr<TState> state, TMainThreadDispatcher& dispatcher)
    : state_(std::move(state)), dispatcher_(dispatcher)
{
    thread_ = std::thread([this] { Execute(); });
}

TRedirectorThread::~TRedirectorThread()
{
    Abandon();
    Join();
}

void TRedirectorThread::Abandon()
{
    {
        std::lock_guard<std::mutex> lock(state_->Mutex);
        state_->Abandon = true;
    }
    state_->Cv.notify_all();
}

void TRedirectorThread::Join()
{
    if (thread_.joinable())
        thread_.join();
}

bool TRedirectorThread::Finished() const
{
    return state_->Finished;
}

bool TRedirectorThread::HandOver(std::function<void()> fn)
{
    auto st = state_;
    {
        std::lock_guard<std::mutex> lock(st->Mutex);
        if (st->Abandon)
            return false;
        st->HandOverDone = false;
    }
    dispatcher_.Post([st, fn = std::move(fn)] {
        // Releases the waiting thread however the handler ends.
        struct TRelease {
            TState* s;
            ~TRelease()
            {
                std::lock_guard<std::mutex> lock(s->Mutex);
                s->HandOverDone = true;
                s->Cv.notify_all();
            }
        } release{st.get()};
        if (!st->Abandon)
            fn();
    });
    std::unique_lock<std::mutex> lock(st->Mutex);
    st->Cv.wait(lock, [&] { return st->HandOverDone || st->Abandon; });
    return !st->Abandon;
}

static uint32_t PendingBytes(int fd)
{
    if (fd < 0)
        return 0;
    int n = 0;
    if (ioctl(fd, FIONREAD, &n) != 0 || n <= 0)
        return 0;
    return static_cast<uint32_t>(n);
}

// One poll pass: asks the main thread to read each pipe that has data.
// True when something was read.
bool TRedirectorThread::PollPass()
{
    bool busy = false;
    auto st = state_;
    if (uint32_t n = PendingBytes(st->OutFd); n > 0 && !st->Stop && !st->Abandon) {
        st->Available = n;
        busy = true;
        if (!HandOver([st] { st->Runner->ReadStdOut(); }))
            return false;
    }
    if (uint32_t n = PendingBytes(st->ErrFd); n > 0 && !st->Stop && !st->Abandon) {
        st->Available = n;
        busy = true;
        if (!HandOver([st] { st->Runner->ReadStdErr(); }))
            return false;
    }
    return busy;
}

// Reaps the child when it has ended; true when it has.
static bool TryReap(TRedirectorThread::TState& st)
{
    int status = 0;
    pid_t r;
    do {
        r = waitpid(st.Pid, &status, WNOHANG);
    } while (r < 0 && errno == EINTR);
    if (r == st.Pid) {
        st.WaitStatus = status;
        st.StatusKnown = true;
        st.Reaped = true;
        return true;
    }
    if (r < 0) { // ECHILD: reaped elsewhere (SIGCHLD ignored); the child is gone all the same
        st.StatusKnown = false;
        st.Reaped = true;
        return true;
    }
    return false;
}

void TRedirectorThread::Execute()
{
    auto st = state_;
    bool outHup = false, errHup = false;
    while (!st->Abandon && !st->Stop) {
        if (PollPass())
            continue;
        if (st->Abandon || st->Stop)
            break;
        // Wait up to 100 ms for the process to end, waking early when text arrives.
        pollfd fds[3];
        int n = 0;
        int outIdx = -1, errIdx = -1, pidIdx = -1;
        if (!outHup && st->OutFd >= 0) {
            outIdx = n;
            fds[n++] = {st->OutFd, POLLIN, 0};
        }
        if (!errHup && st->ErrFd >= 0) {
            errIdx = n;
            fds[n++] = {st->ErrFd, POLLIN, 0};
        }
        if (st->PidFd >= 0) {
            pidIdx = n;
            fds[n++] = {st->PidFd, POLLIN, 0};
        }
        const int timeout = st->PidFd >= 0 ? 100 : 20;
        int r = poll(fds, static_cast<nfds_t>(n), timeout);
        if (r > 0) {
            if (outIdx >= 0 && (fds[outIdx].revents & (POLLHUP | POLLERR)) && PendingBytes(st->OutFd) == 0)
                outHup = true;
            if (errIdx >= 0 && (fds[errIdx].revents & (POLLHUP | POLLERR)) && PendingBytes(st->ErrFd) == 0)
                errHup = true;
        }
        bool ended = false;
        if (pidIdx < 0 || (r > 0 && fds[pidIdx].revents != 0))
            ended = TryReap(*st);
        if (!ended)
            continue;
        st->ProcessExited = true;
        // Drain what the child wrote last.
        while (PollPass()) {
        }
        if (!st->Stop && !st->Abandon)
            HandOver([st] { st->Runner->ProcessEnded(); });
        break;
    }
    st->Finished = true;
}

// ---- TRedirector ----

namespace {

// The message, the system's error number and what it means ("24 (Too many
// open files)"), so that the cause reaches the user.
std::runtime_error SysError(const std::string& message, int code)
{
    return std::runtime_error(message + std::to_string(code) + " (" + std::strerror(code) + ")");
}

void CloseFd(int& fd)
{
    if (fd >= 0)
        close(fd);
    fd = -1;
}

} // namespace

int TRedirector::NiceValueOf(uint8_t initialPriority)
{
    switch (initialPriority) {
    case PriorityIdle: return 19;
    case PriorityNormal: return 0;
    case PriorityHigh: return -10;
    case PriorityRealTime: return -20;
    default: return 0;
    }
}

TRedirector::TRedirector(TMainThreadDispatcher& dispatcher) : dispatcher_(dispatcher) {}

TRedirector::~TRedirector()
{
    if (Active()) {
        if (KillOnDestroy) {
            OnTerminated = nullptr;
            if (Thread)
                Thread->Abandon();
            if (!state_ || !state_->Reaped) {
                kill(-pid_, SIGKILL);
                kill(pid_, SIGKILL);
            }
        } else if (Thread) {
            Thread->Abandon();
        }
    }
    if (Thread) {
        Thread->Abandon();
        Thread->Join();
    }
    for (auto& t : retired_) {
        t->Abandon();
        t->Join();
    }
    if (Active() && KillOnDestroy && state_ && !state_->Reaped) {
        int status;
        while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
    }
    ClosePipes();
    CloseFd(pidFd_);
}

void TRedirector::SetCommandLine(const std::string& value)
{
    if (!Active() || SameTextAscii(value, FullCommandLine()))
        commandLine_ = value;
    else
        throw std::runtime_error("Cannot change Commandline while process is active");
}

void TRedirector::SetInitialPriority(uint8_t value)
{
    if (value == initialPriority_)
        return;
    if (Active())
        throw std::runtime_error("Cannot change InititalPriority while process is active");
    initialPriority_ = value;
}

std::string TRedirector::FullCommandLine() const
{
    if (!applicationName_.empty())
        return applicationName_ + " " + commandLine_;
    return commandLine_;
}

bool TRedirector::ProcessExited() const
{
    return state_ && state_->ProcessExited;
}

uint32_t TRedirector::AvailableBytes() const
{
    return state_ ? state_->Available.load() : 0;
}

void TRedirector::ClosePipes()
{
    CloseFd(StdInRead);
    CloseFd(StdInWrite);
    CloseFd(StdOutRead);
    CloseFd(StdOutWrite);
    CloseFd(StdErrRead);
    CloseFd(StdErrWrite);
}

void TRedirector::RetireThread()
{
    if (Thread)
        retired_.push_back(std::move(Thread));
    // Threads that have left their loop can be joined without waiting.
    for (auto it = retired_.begin(); it != retired_.end();) {
        if ((*it)->Finished()) {
            (*it)->Join();
            it = retired_.erase(it);
        } else {
            ++it;
        }
    }
}

namespace {

// A pipe for one standard handle of the child, both ends closed on exec.
void OpenPipe(int& readEnd, int& writeEnd, const char* failMessage)
{
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        throw SysError(failMessage, errno);
    readEnd = fds[0];
    writeEnd = fds[1];
}

} // namespace

TProcessStart TRedirector::ChildStart() const
{
    TProcessStart start;
    if (!TrimText(applicationName_).empty()) {
        start.Args.push_back(applicationName_);
        for (auto& a : SplitCommandLine(commandLine_))
            start.Args.push_back(std::move(a));
    } else {
        start.Args = SplitCommandLine(commandLine_);
        if (start.Args.empty())
            throw std::runtime_error("No commandline to run");
    }
    start.Environment = Environment;
    start.Directory = TrimText(Directory);
    start.StdIn = StdInRead;
    start.StdOut = StdOutWrite;
    start.StdErr = StdErrWrite;
    start.OwnProcessGroup = true;
    // The child ends with us: the death signal is tied to the thread that
    // forks, so children are started from the main thread only, which lives
    // as long as the program.
    start.EndWithParent = true;
    if (initialPriority_ != PriorityDefault)
        start.Nice = NiceValueOf(initialPriority_);
    return start;
}

void TRedirector::Execute()
{
    if (Active())
        throw std::runtime_error("Process is already active");
    if (TrimText(FullCommandLine()).empty())
        throw std::runtime_error("No commandline to run");
    RetireThread();
    exitStatus_ = TExitStatus{};
    terminateRequested_ = false;
    auto state = std::make_shared<TRedirectorThread::TState>();
    state_ = state;

    try {
        OpenPipe(StdInRead, StdInWrite, "Error on STDIN pipe creation : ");
        OpenPipe(StdOutRead, StdOutWrite, "Error on STDOUT pipe creation : ");
        OpenPipe(StdErrRead, StdErrWrite, "Error on STDERR pipe creation : ");
        const TStartedProcess child = StartProcess(ChildStart());
        if (!child.Started())
            throw SysError("Error creating process : ", child.Error);
        // The child's ends belong to the child now.
        CloseFd(StdInRead);
        CloseFd(StdOutWrite);
        CloseFd(StdErrWrite);

        pid_ = child.Pid;
#ifdef SYS_pidfd_open
        pidFd_ = static_cast<int>(syscall(SYS_pidfd_open, child.Pid, 0));
        if (pidFd_ < 0)
            pidFd_ = -1;
#endif
        state->Runner = this;
        state->OutFd = StdOutRead;
        state->ErrFd = StdErrRead;
        state->PidFd = pidFd_;
        state->Pid = child.Pid;
        Thread = std::make_unique<TRedirectorThread>(state, dispatcher_);
    } catch (...) {
        ClosePipes();
        CloseFd(pidFd_);
        pid_ = 0;
        throw;
    }
}

void TRedirector::Terminate()
{
    if (!Active())
        throw std::runtime_error("Cannot Terminate an inactive process");
    terminateRequested_ = true;
    if (state_ && state_->Reaped) {
        // The child itself is gone; whatever it left in its group goes too.
        kill(-pid_, SIGKILL);
        return;
    }
    kill(-pid_, SIGKILL);
    kill(pid_, SIGKILL);
}

void TRedirector::WaitForEnd()
{
    if (!Active())
        return;
    // The reader thread may be waiting to hand the end over; release it and
    // settle the end here instead.
    if (Thread) {
        Thread->Abandon();
        Thread->Join();
    }
    if (state_ && !state_->Reaped) {
        int status = 0;
        pid_t r;
        do {
            r = waitpid(pid_, &status, 0);
        } while (r < 0 && errno == EINTR);
        state_->WaitStatus = status;
        state_->StatusKnown = r == pid_;
        state_->Reaped = true;
    }
    if (state_)
        state_->ProcessExited = true;
    ProcessEnded();
}

void TRedirector::ReadPipe(int fd, uint32_t count, const TDataEvent& event, const char* failMessage)
{
    std::vector<char> buffer(count);
    size_t got = 0;
    while (got < count) {
        ssize_t r = read(fd, buffer.data() + got, count - got);
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0) {
            int err = errno;
            if (state_)
                state_->Stop = true;
            throw SysError(failMessage, err);
        }
        if (r == 0)
            break;
        got += static_cast<size_t>(r);
    }
    if (event && got > 0)
        event(*this, buffer.data(), static_cast<uint32_t>(got));
}

void TRedirector::ReadStdOut()
{
    ReadPipe(StdOutRead, AvailableBytes(), OnData, "Error reading STDOUT pipe : ");
}

void TRedirector::ReadStdErr()
{
    ReadPipe(StdErrRead, AvailableBytes(), OnErrorData, "Error reading STDERR pipe : ");
}

void TRedirector::ProcessEnded()
{
    if (state_) {
        state_->Stop = true;
        TExitStatus status;
        if (state_->StatusKnown) {
            int ws = state_->WaitStatus;
            if (WIFEXITED(ws)) {
                status.Exited = true;
                status.Code = WEXITSTATUS(ws);
            } else if (WIFSIGNALED(ws)) {
                status.Signal = WTERMSIG(ws);
            }
        } else {
            status.Code = -1;
        }
        status.Terminated = terminateRequested_;
        exitStatus_ = status;
    }
    ClosePipes();
    CloseFd(pidFd_);
    pid_ = 0;
    RetireThread();
    if (OnTerminated)
        OnTerminated(*this);
}
