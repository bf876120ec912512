#pragma once

// The process runner: starts one child process at a time with its standard
// input, output and error on pipes, hands every piece of text the child
// writes to the owner on the main thread, and reports the child's end.
//
// Command lines are split into arguments by one quoting rule, and no shell is
// involved:
//   - blanks (space and tab) outside double quotes separate arguments;
//   - a double quote opens or closes a quoted part; several quoted and
//     unquoted parts without a blank between them make one argument, and ""
//     gives an empty argument;
//   - inside a quoted part, \" stands for a double quote and \\ for a
//     backslash; every other character, a lone backslash included, stands
//     for itself;
//   - outside quoted parts every character except blanks and quotes stands
//     for itself.
// QuoteArgument always quotes and escapes exactly " and \, so any text
// survives SplitCommandLine(QuoteArgument(text)) unchanged.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

std::vector<std::string> SplitCommandLine(const std::string& commandLine);
std::string QuoteArgument(const std::string& argument);

// Runs work on the main (user-interface) thread. The GUI implements it on the
// Qt event loop; tests and the command-line front end use TEventLoop.
class TMainThreadDispatcher {
public:
    virtual ~TMainThreadDispatcher() = default;
    // Runs Fn on the main thread and returns when it has run (at once when
    // called on the main thread).
    virtual void Invoke(std::function<void()> fn) = 0;
    // Queues Fn to run on the main thread later, after what is queued already.
    // Safe to call from any thread. A task that throws is reported by the
    // dispatcher (the application's standard error box) and the loop goes on.
    // Queued tasks must also run inside modal loops (dialogs, message boxes):
    // the runner's reader thread hands its reads over through Post and waits
    // for them, so that a runner being destroyed can release it.
    virtual void Post(std::function<void()> fn) = 0;
};

// A plain event loop on the thread that calls Run: runs posted tasks in order.
// Run may nest (a modal view runs its own Run); Quit ends the innermost Run.
class TEventLoop : public TMainThreadDispatcher {
public:
    TEventLoop();
    ~TEventLoop() override;

    void Invoke(std::function<void()> fn) override;
    void Post(std::function<void()> fn) override;

    // Runs tasks until Quit is called (from a task or any thread).
    void Run();
    void Quit();
    // Runs the tasks that are queued, waiting up to WaitMs for the first one;
    // returns the number of tasks run. For loops that poll.
    int ProcessEvents(int waitMs);
    // Where exceptions thrown by tasks go; by default standard error.
    void SetExceptionHandler(std::function<void(const std::string&)> handler);

private:
    bool RunOne(std::unique_lock<std::mutex>& lock);

    std::mutex mutex_;
    std::condition_variable cv_;
    std::deque<std::function<void()>> tasks_;
    std::vector<bool> quit_; // one entry per nested Run
    std::atomic<std::thread::id> mainThread_;
    std::function<void(const std::string&)> onException_;
};

// How the child ended.
struct TExitStatus {
    bool Exited = false;     // ended by itself; Code is its exit code
    int Code = 0;
    int Signal = 0;          // the signal that ended it, 0 when it exited
    bool Terminated = false; // ended through Terminate
    // Exited normally with code 0.
    bool Success() const { return Exited && Code == 0 && !Terminated; }
};

class TRedirector;
struct TProcessStart;

// The reader thread of one child: watches the pipes and the process and asks
// the main thread to do every read. One is made per child.
class TRedirectorThread {
public:
    struct TState; // shared between the runner, the thread and queued hand-overs
    TRedirectorThread(std::shared_ptr<TState> state, TMainThreadDispatcher& dispatcher);
    ~TRedirectorThread();
    TRedirectorThread(const TRedirectorThread&) = delete;
    TRedirectorThread& operator=(const TRedirectorThread&) = delete;

    // Leave the loop as soon as possible, releasing a pending hand-over.
    void Abandon();
    void Join();
    bool Finished() const;

private:
    void Execute();
    // Runs Fn on the main thread and waits for it, unless abandoned.
    bool HandOver(std::function<void()> fn);
    bool PollPass();

    std::shared_ptr<TState> state_;
    TMainThreadDispatcher& dispatcher_;
    std::thread thread_;
};

using TDataEvent = std::function<void(TRedirector& sender, const char* buffer, uint32_t size)>;
using TNotifyEvent = std::function<void(TRedirector& sender)>;

class TRedirector {
public:
    // Priority classes of InitialPriority and the nice values they give.
    enum : uint8_t { PriorityDefault = 0, PriorityIdle = 1, PriorityNormal = 2, PriorityHigh = 3, PriorityRealTime = 4 };
    static int NiceValueOf(uint8_t initialPriority); // idle 19, normal 0, high -10, real-time -20

    explicit TRedirector(TMainThreadDispatcher& dispatcher);
    ~TRedirector();
    TRedirector(const TRedirector&) = delete;
    TRedirector& operator=(const TRedirector&) = delete;

    // ---- Properties ----
    // Program to run; empty: the first argument of CommandLine.
    const std::string& ApplicationName() const { return applicationName_; }
    void SetApplicationName(const std::string& value) { applicationName_ = value; }
    const std::string& CommandLine() const { return commandLine_; }
    // Throws "Cannot change Commandline while process is active" unless no
    // child is active or Value equals FullCommandLine without regard to case.
    void SetCommandLine(const std::string& value);
    bool KillOnDestroy = false;
    // Working folder of the child; empty: the caller's.
    std::string Directory;
    // Environment of the child ("NAME=value" entries); none: the caller's.
    std::optional<std::vector<std::string>> Environment;
    uint8_t InitialPriority() const { return initialPriority_; }
    void SetInitialPriority(uint8_t value);

    TDataEvent OnData;        // text from standard output
    TDataEvent OnErrorData;   // text from standard error
    TNotifyEvent OnTerminated;// the child ended and all its text was delivered

    // ---- Derived values ----
    bool Active() const { return pid_ > 0; }
    std::string FullCommandLine() const;
    // Set by the reader thread once the child has ended, before the last drain.
    bool ProcessExited() const;
    uint32_t AvailableBytes() const;
    int ProcessId() const { return pid_; }
    // How the last child ended; valid in OnTerminated and afterwards.
    const TExitStatus& ExitStatus() const { return exitStatus_; }

    // ---- Operations (main thread) ----
    // Starts the child, which receives SIGTERM when this program dies; call
    // it from the main thread (the death signal follows the forking thread).
    // Throws "Process is already active", "No commandline to
    // run", "Error on STDxxx pipe creation : <errno> (<meaning>)", "Error
    // creating process : <errno> (<meaning>)" (the program cannot be started,
    // e.g. "2 (No such file or directory)" for a missing file).
    void Execute();
    // Ends the child and everything in its process group at once. Throws
    // "Cannot Terminate an inactive process" when no child is active.
    void Terminate();
    // After Terminate: waits until the child has gone and settles its end at
    // once (OnTerminated is called if assigned), so that the runner is idle on
    // return. Text the child wrote last is discarded.
    void WaitForEnd();

private:
    friend class TRedirectorThread;
    void ReadStdOut();
    void ReadStdErr();
    void ReadPipe(int fd, uint32_t count, const TDataEvent& event, const char* failMessage);
    void ProcessEnded();
    void ClosePipes();
    void RetireThread();
    // How the child is to be started: its arguments, handles and priority.
    TProcessStart ChildStart() const;

    TMainThreadDispatcher& dispatcher_;
    std::string applicationName_;
    std::string commandLine_;
    uint8_t initialPriority_ = 0;

    // The pipe ends; the child gets StdInRead, StdOutWrite and StdErrWrite.
    // The parent closes the child's ends once the child runs.
    int StdInRead = -1, StdInWrite = -1;
    int StdOutRead = -1, StdOutWrite = -1;
    int StdErrRead = -1, StdErrWrite = -1;
    int pid_ = 0;    // also the child's process group
    int pidFd_ = -1; // process descriptor used to wait, -1 when unavailable
    TExitStatus exitStatus_;
    bool terminateRequested_ = false;

    std::shared_ptr<TRedirectorThread::TState> state_;
    std::unique_ptr<TRedirectorThread> Thread;
    std::vector<std::unique_ptr<TRedirectorThread>> retired_;
};
