// The after-batch power actions through systemd-logind: whether an action is
// allowed is asked over D-Bus (busctl), the actions themselves are systemctl
// and loginctl requests. Programs are started with an argument list, never
// through a shell.

#include "platform/PowerActions.h"
#include "platform/StartProcess.h"

#include <cstdlib>
#include <unistd.h>

namespace {

std::string Trimmed(std::string text)
{
    while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ')
        text.pop_back();
    size_t b = 0;
    while (b < text.size() && static_cast<unsigned char>(text[b]) <= ' ')
        ++b;
    return text.substr(b);
}

// Runs a request; "" when it succeeded, otherwise what the program said.
std::string Request(const std::vector<std::string>& args)
{
    std::string said;
    const int rc = RunProcess(args, &said, true);
    if (rc == 0)
        return {};
    said = Trimmed(said);
    if (!said.empty())
        return said;
    return args[0] + (rc < 0 ? " could not be run" : " ended with code " + std::to_string(rc));
}

// logind's answer to a "Can…" question ("yes", "challenge", "no", "na"), or
// why it could not be asked.
std::string AskLogind(const std::string& method)
{
    std::string answer;
    const int rc = RunProcess({"busctl", "--system", "--timeout=5", "call", "org.freedesktop.login1",
                               "/org/freedesktop/login1", "org.freedesktop.login1.Manager", method},
                              &answer, true);
    answer = Trimmed(answer);
    // The reply reads: s "yes"
    const size_t open = answer.find('"');
    const size_t close = open == std::string::npos ? open : answer.find('"', open + 1);
    if (rc == 0 && close != std::string::npos)
        return answer.substr(open + 1, close - open - 1);
    return "logind could not be asked" + (answer.empty() ? std::string() : ": " + answer);
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
        // action it then refuses reports logind's answer.
        for (int action : {1, 3, 4, 5})
            if (PowerActionOffered(CanPerform(action)))
                return true;
        return false;
    }

    std::string EndProgram() override
    {
        if (endProgram_)
            endProgram_();
        return {};
    }
    std::string PowerOff() override { return Request({"systemctl", "poweroff"}); }
    std::string Reboot() override { return Request({"systemctl", "reboot"}); }
    std::string Hibernate() override { return Request({"systemctl", "hibernate"}); }
    std::string Suspend() override { return Request({"systemctl", "suspend"}); }
    std::string LogOff() override
    {
        // Ends the graphical session this program runs in.
        const char* session = std::getenv("XDG_SESSION_ID");
        if (!session || !*session)
            return "no login session is known (XDG_SESSION_ID is not set)";
        return Request({"loginctl", "terminate-session", session});
    }
    std::string CanPerform(int action) override
    {
        switch (action) {
        case 1: return AskLogind("CanPowerOff");
        case 3: return AskLogind("CanReboot");
        case 4: return AskLogind("CanHibernate");
        case 5: return AskLogind("CanSuspend");
        default: return "yes";
        }
    }

private:
    std::function<void()> endProgram_;
};

} // namespace

std::unique_ptr<TPowerActions> MakeLogindPowerActions(std::function<void()> endProgram)
{
    return std::make_unique<TLogindPowerActions>(std::move(endProgram));
}
