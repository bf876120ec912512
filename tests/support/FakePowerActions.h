#pragma once

#include "platform/PowerActions.h"

#include <string>
#include <vector>

namespace qvtest {

// Power actions that only record their names; nothing reaches the machine.
class TFakePower : public TPowerActions {
public:
    explicit TFakePower(std::vector<std::string>* calls) : calls_(calls) {}
    bool SetPrivilege(const std::string&, bool) override { return true; }
    void EndProgram() override { calls_->push_back("EndProgram"); }
    void PowerOff() override { calls_->push_back("PowerOff"); }
    void LogOff() override { calls_->push_back("LogOff"); }
    void Reboot() override { calls_->push_back("Reboot"); }
    void Hibernate() override { calls_->push_back("Hibernate"); }
    void Suspend() override { calls_->push_back("Suspend"); }

private:
    std::vector<std::string>* calls_;
};

} // namespace qvtest
