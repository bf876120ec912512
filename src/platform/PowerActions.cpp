#include "platform/PowerActions.h"

#include <utility>

namespace {

// In force until a program installs another: every action does nothing and
// no privilege can be switched on.
class TNoPowerActions final : public TPowerActions {
public:
    bool SetPrivilege(const std::string&, bool) override { return false; }
    void EndProgram() override {}
    void PowerOff() override {}
    void LogOff() override {}
    void Reboot() override {}
    void Hibernate() override {}
    void Suspend() override {}
};

std::unique_ptr<TPowerActions>& InstalledPowerActions()
{
    static std::unique_ptr<TPowerActions> actions = std::make_unique<TNoPowerActions>();
    return actions;
}

} // namespace

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
