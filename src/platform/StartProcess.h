#pragma once

// Starting a child process: the one routine by which the program starts the
// encoder and the programs behind the power actions. Everything the child
// needs is prepared before the child starts; the child shares the caller's
// memory as with vfork (nothing is copied, the calling thread waits until the
// program runs) and makes only async-signal-safe calls until it runs the
// program. The program gets descriptors 0 to 3 as given and no other: every
// descriptor above them is closed on exec, whatever its flags. It does not use posix_spawn because a child may need set-up that
// posix_spawn cannot do: the parent-death signal, and the check that the
// parent still lives.

#include <optional>
#include <string>
#include <vector>

struct TProcessStart {
    // The program and its arguments. Args[0] names the program: the file as
    // given when it holds a "/", otherwise the first executable of that name
    // on PATH.
    std::vector<std::string> Args;
    // Environment of the child ("NAME=value" entries); none: the caller's.
    std::optional<std::vector<std::string>> Environment;
    // Working folder of the child; empty: the caller's.
    std::string Directory;
    // The descriptors that become the child's standard input, output and
    // error; -1 gives /dev/null. The caller keeps (and closes) its own.
    int StdIn = -1;
    int StdOut = -1;
    int StdErr = -1;
    // A descriptor that becomes the child's descriptor 3 (a channel besides
    // the standard ones, such as a progress pipe); -1: the child has none.
    int Handle3 = -1;
    // The child leads a process group of its own, so that it and everything
    // it starts can be signalled at once.
    bool OwnProcessGroup = false;
    // The child receives SIGTERM when the thread that started it ends (for
    // the main thread: when this program ends), and never runs the program
    // when the parent has already gone.
    bool EndWithParent = false;
    // Nice value of the child; none: the caller's. A value the system
    // refuses (a raise without the right) gives 0.
    std::optional<int> Nice;
};

struct TStartedProcess {
    int Pid = 0;   // the running child, 0 when none was started
    int Error = 0; // why not: errno of the step that failed (ENOENT for a program not found)
    bool Started() const { return Pid > 0; }
};

// Starts the child and returns once it runs the program, or has failed to.
// A child that could not run the program has been waited for already.
TStartedProcess StartProcess(const TProcessStart& start);

// The program file for Name: as given when it holds a "/", otherwise the
// first executable of that name on PATH. Empty when none is found.
std::string FindProgram(const std::string& name);

// How a child ended.
struct TProcessEnd {
    bool Exited = false; // ended by itself; Code is its exit code
    int Code = 0;
    int Signal = 0; // the signal that ended it, 0 when it exited
};

// Waits until the child Pid has ended. False when it cannot be waited for
// (not a child of ours, or already waited for).
bool WaitForProcess(int pid, TProcessEnd& end);

// Runs a program to its end with standard input and error on /dev/null and
// returns its exit code; -1 when it could not be started or did not exit by
// itself. Its standard output is collected in *Output when given (otherwise
// it goes to /dev/null); with WithErrors its standard error is collected
// there too.
int RunProcess(const std::vector<std::string>& args, std::string* output, bool withErrors = false);
