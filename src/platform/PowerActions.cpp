#include "platform/PowerActions.h"

#include <utility>

namespace {

// In force until a program installs another: every action does nothing and
// no privilege can be switched on.
class TNoPowerActions final : public TPowerActions {
public:
    bool SetPrivilege(const std::string&, bool) override { return false; }
    std::string EndProgram() override { return {}; }
    std::string PowerOff() override { return Missing(); }
    std::string LogOff() override { return Missing(); }
    std::string Reboot() override { return Missing(); }
    std::string Hibernate() override { return Missing(); }
    std::string Suspend() override { return Missing(); }
    std::string CanPerform(int action) override { return action == 0 ? "yes" : "na"; }

private:
    static std::string Missing() { return "na"; }
};

std::unique_ptr<TPowerActions>& InstalledPowerActions()
{
    static std::unique_ptr<TPowerActions> actions = std::make_unique<TNoPowerActions>();
    return actions;
}

} // namespace

bool PowerActionOffered(const std::string& answer)
{
    return answer == "yes" || answer == "challenge";
}

std::unique_ptr<TPowerActions> SetPowerActions(std::unique_ptr<TPowerActions> actions)
{
    if (!actions)
        actions = std::make_unique<TNoPowerActions>();
    std::swap(InstalledPowerActions(), actions);
    return actions;
}

TPowerActions& PowerActions()
{
    return *InstalledPowerActions();
}
