// The after-batch power actions through systemd-logind: whether an action is
// allowed is asked over D-Bus (busctl), the actions themselves are systemctl
// and loginctl requests. Programs are started with an argument list, never
// through a shell.

#include "platform/PowerActions.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Runs a program found on PATH with its arguments, waits for it and returns
// its exit code (-1 when it could not be started or did not exit normally).
// Its standard output is collected in *output when asked for.
int RunProgram(const std::vector<std::string>& args, std::string* output)
{
    if (args.empty())
        return -1;
    std::vector<char*> argv;
    for (const auto& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);

    int pipeFds[2] = {-1, -1};
    if (output && ::pipe2(pipeFds, O_CLOEXEC) != 0)
        return -1;
    const pid_t pid = ::fork();
    if (pid < 0) {
        if (output) {
            ::close(pipeFds[0]);
            ::close(pipeFds[1]);
        }
        return -1;
    }
    if (pid == 0) {
        // Child: only async-signal-safe calls from here on.
        int devNull = ::open("/dev/null", O_RDWR);
        if (devNull >= 0) {
            ::dup2(devNull, STDIN_FILENO);
            ::dup2(devNull, STDERR_FILENO);
            if (!output)
                ::dup2(devNull, STDOUT_FILENO);
        }
        if (output)
            ::dup2(pipeFds[1], STDOUT_FILENO);
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    if (output) {
        ::close(pipeFds[1]);
        char buf[512];
        for (;;) {
            ssize_t n = ::read(pipeFds[0], buf, sizeof buf);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            output->append(buf, static_cast<size_t>(n));
        }
        ::close(pipeFds[0]);
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR)
            return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Asks logind whether the caller may perform an action ("CanPowerOff" …);
// "yes" and "challenge" (allowed after authentication) count as allowed.
bool LogindAllows(const std::string& method)
{
    std::string answer;
    const int rc = RunProgram({"busctl", "--system", "--timeout=5", "call", "org.freedesktop.login1",
                               "/org/freedesktop/login1", "org.freedesktop.login1.Manager", method},
                              &answer);
    if (rc != 0)
        return false;
    return answer.find("\"yes\"") != std::string::npos || answer.find("\"challenge\"") != std::string::npos;
}

class TLogindPowerActions final : public TPowerActions {
public:
    explicit TLogindPowerActions(std::function<void()> endProgram)
        : endProgram_(std::move(endProgram))
    {
    }

    bool SetPrivilege(const std::string& name, bool enable) override
    {
        if (name != "SeShutdownPrivilege")
            return false;
        if (!enable)
            return true;
        // Granted when logind allows at least one of the machine actions; an
        // action it then refuses simply does not happen.
        for (const char* method : {"CanPowerOff", "CanReboot", "CanSuspend", "CanHibernate"})
            if (LogindAllows(method))
                return true;
        return false;
    }

    void EndProgram() override
    {
        if (endProgram_)
            endProgram_();
    }
    void PowerOff() override { RunProgram({"systemctl", "poweroff"}, nullptr); }
    void Reboot() override { RunProgram({"systemctl", "reboot"}, nullptr); }
    void Hibernate() override { RunProgram({"systemctl", "hibernate"}, nullptr); }
    void Suspend() override { RunProgram({"systemctl", "suspend"}, nullptr); }
    void LogOff() override
    {
        // Ends the graphical session this program runs in.
        const char* session = std::getenv("XDG_SESSION_ID");
        if (session && *session)
            RunProgram({"loginctl", "terminate-session", session}, nullptr);
    }

private:
    std::function<void()> endProgram_;
};

} // namespace

std::unique_ptr<TPowerActions> MakeLogindPowerActions(std::function<void()> endProgram)
{
    return std::make_unique<TLogindPowerActions>(std::move(endProgram));
}
