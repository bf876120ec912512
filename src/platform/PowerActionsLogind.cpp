// The after-batch power actions through systemd-logind: whether an action is
// allowed is asked over D-Bus (busctl), the actions themselves are systemctl
// and loginctl requests. Programs are started with an argument list, never
// through a shell.

#include "platform/PowerActions.h"
#include "platform/StartProcess.h"

#include <cstdlib>

namespace {

// Asks logind whether the caller may perform an action ("CanPowerOff" …);
// "yes" and "challenge" (allowed after authentication) count as allowed.
bool LogindAllows(const std::string& method)
{
    std::string answer;
    const int rc = RunProcess({"busctl", "--system", "--timeout=5", "call", "org.freedesktop.login1",
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
    void PowerOff() override { RunProcess({"systemctl", "poweroff"}, nullptr); }
    void Reboot() override { RunProcess({"systemctl", "reboot"}, nullptr); }
    void Hibernate() override { RunProcess({"systemctl", "hibernate"}, nullptr); }
    void Suspend() override { RunProcess({"systemctl", "suspend"}, nullptr); }
    void LogOff() override
    {
        // Ends the graphical session this program runs in.
        const char* session = std::getenv("XDG_SESSION_ID");
        if (session && *session)
            RunProcess({"loginctl", "terminate-session", session}, nullptr);
    }

private:
    std::function<void()> endProgram_;
};

} // namespace

std::unique_ptr<TPowerActions> MakeLogindPowerActions(std::function<void()> endProgram)
{
    return std::make_unique<TLogindPowerActions>(std::move(endProgram));
}
