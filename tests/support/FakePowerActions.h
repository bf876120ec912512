#pragma once

#include "platform/PowerActions.h"

#include <map>
#include <string>
#include <vector>

namespace qvtest {

// Power actions that only record their names; nothing reaches the machine.
// Answers holds logind's answer per action ("yes" when not given), Failures
// what an action reports when it fails (nothing when not given).
class TFakePower : public TPowerActions {
public:
    explicit TFakePower(std::vector<std::string>* calls, std::map<int, std::string> answers = {},
                        std::map<int, std::string> failures = {})
        : calls_(calls), answers_(std::move(answers)), failures_(std::move(failures))
    {
    }
    bool SetPrivilege(const std::string&, bool) override { return true; }
    std::string EndProgram() override { return Done("EndProgram", 0); }
    std::string PowerOff() override { return Done("PowerOff", 1); }
    std::string LogOff() override { return Done("LogOff", 2); }
    std::string Reboot() override { return Done("Reboot", 3); }
    std::string Hibernate() override { return Done("Hibernate", 4); }
    std::string Suspend() override { return Done("Suspend", 5); }
    std::string CanPerform(int action) override
    {
        calls_->push_back("CanPerform " + std::to_string(action));
        const auto it = answers_.find(action);
        return it == answers_.end() ? "yes" : it->second;
    }

private:
    std::string Done(const char* name, int action)
    {
        calls_->push_back(name);
        const auto it = failures_.find(action);
        return it == failures_.end() ? std::string() : it->second;
    }
    std::vector<std::string>* calls_;
    std::map<int, std::string> answers_;
    std::map<int, std::string> failures_;
};

} // namespace qvtest
