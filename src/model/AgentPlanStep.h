#pragma once
#include "support/Uuid.h"

#include <string>

namespace tarn {

// One step of the plan shown under an agent reply.
struct AgentPlanStep {
    Uuid id;
    std::string title;
    std::string detail;
    bool completed = false;

    friend bool operator==(const AgentPlanStep&, const AgentPlanStep&) = default;
};

}  // namespace tarn
