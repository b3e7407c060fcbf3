#pragma once
#include "agents/AgentTool.h"
#include "bootstrap/RememberedPlan.h"
#include "versions/CheckpointStore.h"

#include <chrono>

namespace tarn {

// Timings and limits the tests shorten; the defaults are what users get.
struct AppViewModelOptions {
    std::chrono::milliseconds thinkingIdlePoll{150};
    std::chrono::milliseconds thinkingLineDuration{1050};
    std::chrono::milliseconds startupPlanLimit = AgentTool::startupPlanLimit;
    // Where the projects' checkpoints are kept.
    std::filesystem::path checkpointsFolder = CheckpointStore::defaultFolder();
    // Where the start-up plans are remembered between openings.
    std::filesystem::path plansFolder = rememberedPlan::defaultFolder();
};

}  // namespace tarn
