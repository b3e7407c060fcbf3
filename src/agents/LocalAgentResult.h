#pragma once
#include "model/AgentPlanStep.h"

#include <string>
#include <vector>

namespace tarn {

struct LocalAgentResult {
    std::string message;
    std::vector<std::string> changedFiles;  // relative to the project folder
    std::vector<AgentPlanStep> plan;
};

}  // namespace tarn
