#pragma once
#include "support/Uuid.h"
#include "model/AgentPlanStep.h"
#include "model/AgentRole.h"
#include "model/Checkpoint.h"
#include "model/InspectTarget.h"

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace tarn {

using Date = std::chrono::system_clock::time_point;

// One entry of the chat transcript.
struct AgentMessage {
    Uuid id;
    AgentRole role = AgentRole::system;
    std::string content;
    Date timestamp = std::chrono::system_clock::now();
    std::vector<AgentPlanStep> plan;
    std::vector<InspectTarget> selectedTargets;
    bool isThinking = false;
    // For a reply whose turn changed files: what it changed, to review, undo and redo.
    std::optional<ReplyChanges> changes;

    AgentMessage() = default;
    AgentMessage(AgentRole role, std::string content) : role(role), content(std::move(content)) {}

    friend bool operator==(const AgentMessage&, const AgentMessage&) = default;
};

}  // namespace tarn
