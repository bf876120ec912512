// A small child program for the process-runner and batch-driver tests.
//
// Runner mode: the arguments are commands run in order:
//   out TEXT       write TEXT and a line break to standard output
//   err TEXT       the same on standard error
//   raw TEXT       write TEXT to standard output without a line break
//   lines N        write N numbered lines to standard output, as fast as possible
//   sleep MS       sleep MS milliseconds
//   nice           write the process's nice value to standard output
//   args           write every argument of this program, one per line, to standard output
//   env NAME       write the value of environment variable NAME (or "<unset>")
//   cwd            write the working folder
//   grandchild F   start a grandchild that sleeps 60 s; write its process id to file F
//   exit N         exit with code N
//   kill           end this process with SIGKILL
//
// Encoder mode (first argument "-p"): "-p CODE -i INPUT OPTION... OUTPUT".
// Writes encoder-like console lines; what it does depends on the input's
// first line: "fail" gives an error line and exit 1, "crash" exit 3 without an
// error line, "signal" death by SIGKILL, "empty" an empty output file,
// "sleep MS" a pause before finishing, "partial MS" a temporary output (as
// the real encoder names it) and then a pause of MS before death by SIGKILL,
// "note TEXT" a "Note: TEXT" line after the headers (then it converts),
// "threads" a last output line "QV_THREADS=" and that variable's value (or
// "<unset>"); anything else converts. The output file receives every argument, one per line.

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include <sys/resource.h>
#include <unistd.h>

#include "platform/PartialOutput.h"

// One write per text, so a line never arrives in two pieces by accident.
static void Write(int fd, const std::string& text)
{
    size_t done = 0;
    while (done < text.size()) {
        ssize_t w = write(fd, text.data() + done, text.size() - done);
        if (w <= 0)
            return;
        done += static_cast<size_t>(w);
    }
}

static void Sleep(int ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

static int EncoderMode(int argc, char** argv)
{
    std::vector<std::string> args(argv, argv + argc);
    std::string input, output = args.back();
    for (size_t i = 1; i + 1 < args.size(); ++i)
        if (args[i] == "-i")
            input = args[i + 1];
    std::string first;
    {
        std::ifstream in(input);
        std::getline(in, first);
    }
    if (first.rfind("partial ", 0) == 0)
        std::ofstream(PartialOutputName(output, getpid()), std::ios::binary) << "half a file";
    std::fprintf(stderr, "Input #0, avi, from '%s':\n  Duration: 00:00:10.00, start: 0.000000, bitrate: 100 kb/s\n",
                 input.c_str());
    std::fprintf(stderr, "Output #0, avi, to '%s':\n", output.c_str());
    if (first.rfind("note ", 0) == 0)
        std::fprintf(stderr, "Note: %s\n", first.c_str() + 5);
    std::fflush(stderr);
    if (first == "fail") {
        std::fprintf(stderr, "Error while opening codec for output stream #0.0\n");
        return 1;
    }
    if (first == "crash")
        return 3;
    if (first == "signal")
        raise(SIGKILL);
    if (first.rfind("sleep ", 0) == 0)
        Sleep(std::atoi(first.c_str() + 6));
    if (first.rfind("partial ", 0) == 0) {
        Sleep(std::atoi(first.c_str() + 8));
        raise(SIGKILL);
    }
    {
        std::ofstream out(output, std::ios::binary);
        if (first != "empty")
            for (size_t i = 0; i < args.size(); ++i)
                out << args[i] << '\n';
        if (first == "threads") {
            const char* threads = std::getenv("QV_THREADS");
            out << "QV_THREADS=" << (threads ? threads : "<unset>") << '\n';
        }
    }
    for (int t = 2; t <= 10; t += 4) {
        std::fprintf(stderr, "frame=  %d fps=0 q=2.0 size=     %dkB time=%d.00 bitrate= 100.0kbits/s    \r", t * 25,
                     t * 12, t);
        std::fflush(stderr);
    }
    std::fprintf(stderr, "\n");
    return 0;
}

int main(int argc, char** argv)
{
    if (argc > 1 && std::string(argv[1]) == "-p")
        return EncoderMode(argc, argv);
    for (int i = 1; i < argc; ++i) {
        std::string cmd = argv[i];
        std::string arg = i + 1 < argc ? argv[i + 1] : "";
        if (cmd == "out") {
            Write(1, arg + "\n");
            ++i;
        } else if (cmd == "err") {
            Write(2, arg + "\n");
            ++i;
        } else if (cmd == "raw") {
            Write(1, arg);
            ++i;
        } else if (cmd == "lines") {
            int n = std::atoi(arg.c_str());
            std::string text;
            for (int k = 0; k < n; ++k)
                text += "line " + std::to_string(k) + "\n";
            Write(1, text);
            ++i;
        } else if (cmd == "sleep") {
            Sleep(std::atoi(arg.c_str()));
            ++i;
        } else if (cmd == "nice") {
            Write(1, std::to_string(getpriority(PRIO_PROCESS, 0)) + "\n");
        } else if (cmd == "args") {
            std::string text;
            for (int k = 0; k < argc; ++k)
                text += std::string(argv[k]) + "\n";
            Write(1, text);
        } else if (cmd == "env") {
            const char* v = std::getenv(arg.c_str());
            Write(1, std::string(v ? v : "<unset>") + "\n");
            ++i;
        } else if (cmd == "cwd") {
            char buf[4096];
            Write(1, std::string(getcwd(buf, sizeof buf) ? buf : "?") + "\n");
        } else if (cmd == "grandchild") {
            pid_t pid = fork();
            if (pid == 0) {
                for (int k = 0; k < 600; ++k)
                    Sleep(100);
                _exit(0);
            }
            std::ofstream(arg) << pid << '\n';
            ++i;
        } else if (cmd == "exit") {
            return std::atoi(arg.c_str());
        } else if (cmd == "kill") {
            raise(SIGKILL);
        }
    }
    return 0;
}
