#pragma once

// What the after-batch power actions reach. The program installs the real
// one (which asks systemd-logind); tests install a fake. Until one is
// installed a do-nothing implementation is in force, so nothing can reach the
// real actions by accident.

#include <functional>
#include <memory>
#include <string>

class TPowerActions {
public:
    virtual ~TPowerActions() = default;
    // Whether the named privilege ("SeShutdownPrivilege") can be switched on
    // (Enable) or off; for the shutdown privilege: whether logind allows the
    // actions at all.
    virtual bool SetPrivilege(const std::string& name, bool enable) = 0;
    // Each action returns why it failed ("" when it was requested).
    virtual std::string EndProgram() = 0; // action 0
    virtual std::string PowerOff() = 0;   // action 1
    virtual std::string LogOff() = 0;     // action 2
    virtual std::string Reboot() = 0;     // action 3
    virtual std::string Hibernate() = 0;  // action 4
    virtual std::string Suspend() = 0;    // action 5
    // logind's answer whether machine action 1, 3, 4 or 5 may be done now:
    // "yes", "challenge" (after authentication), "no", "na" (not supported
    // here), or why logind could not be asked. Actions 0 and 2 have no such
    // question: "yes".
    virtual std::string CanPerform(int action) = 0;
};

// Whether an answer of CanPerform offers the action.
bool PowerActionOffered(const std::string& answer);

// Installs the implementation in force; returns the one it replaces. Null
// puts the do-nothing implementation back.
std::unique_ptr<TPowerActions> SetPowerActions(std::unique_ptr<TPowerActions> actions);
TPowerActions& PowerActions();
// The systemd-logind implementation; endProgram runs for action 0.
std::unique_ptr<TPowerActions> MakeLogindPowerActions(std::function<void()> endProgram);
