#pragma once
#include <string>
#include <vector>

namespace tarn {

// Install and dev commands proposed for a project, by an agent tool or by the local rules.
struct AgentBootstrapPlan {
    std::string installCommand;
    std::string devCommand;
    std::string rationale;
    std::vector<std::string> alternatives;
    std::string planner;

    friend bool operator==(const AgentBootstrapPlan&, const AgentBootstrapPlan&) = default;
};

}  // namespace tarn
