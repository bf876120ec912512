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
    virtual void EndProgram() = 0; // action 0
    virtual void PowerOff() = 0;   // action 1
    virtual void LogOff() = 0;     // action 2
    virtual void Reboot() = 0;     // action 3
    virtual void Hibernate() = 0;  // action 4
    virtual void Suspend() = 0;    // action 5
};

// Installs the implementation in force; returns the one it replaces. Null
// puts the do-nothing implementation back.
std::unique_ptr<TPowerActions> SetPowerActions(std::unique_ptr<TPowerActions> actions);
TPowerActions& PowerActions();
// The systemd-logind implementation; endProgram runs for action 0.
std::unique_ptr<TPowerActions> MakeLogindPowerActions(std::function<void()> endProgram);
