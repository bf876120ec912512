#pragma once

#include "platform/RegularFile.h"
#include <string>
#include <sys/types.h>
#include <vector>

namespace avcore {

// How to start one helper program (ffmpeg, ffprobe).
struct TSpawnSpec {
    std::vector<std::string> argv;
    int stdinFd = -1;          // becomes the child's standard input; -1: /dev/null
    bool pipeStdout = false;   // otherwise /dev/null
    bool pipeStderr = true;    // otherwise inherited
    bool pipeProgress = false; // a pipe on the child's descriptor 3
};

struct TChild {
    pid_t pid = -1;
    int out = -1;
    int err = -1;
    int progress = -1;
};

// Starts the program (searched in PATH). The child stays in our process group,
// so that whoever ends our group ends it too, and receives SIGTERM when we die.
// Call it from the main thread only: the death signal follows the thread that
// starts the child, and a helper thread may end before the child.
// Every descriptor we hold is closed in the child. Returns false with a
// message when the program cannot be started.
bool Spawn(const TSpawnSpec& spec, TChild& child, std::string& error);

// Waits for the child and returns its wait status; unregisters it.
int WaitChild(pid_t pid);

// Runs a program to its end, collecting standard output and error.
// Returns false when it cannot be started; exitCode is -1 when it died by a signal.
bool RunCapture(const std::vector<std::string>& argv, std::string& out, std::string& err, int& exitCode,
                std::string& error);

// SIGTERM, SIGINT and SIGHUP are passed on to every running child; the
// first such signal is remembered and the wake descriptor becomes readable.
void InstallStopHandlers();
int StopSignal();
int StopWakeFd();
// Sends a signal to every child still running (by process id).
void SignalChildren(int sig);

// Reads what is available without blocking forever (the descriptor is
// non-blocking); appends to buffer. Returns false at end of file or error.
bool ReadAvailable(int fd, std::string& buffer);

void CloseFd(int& fd);

} // namespace avcore
