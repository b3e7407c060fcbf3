#pragma once
#include "support/Uuid.h"
#include "model/AgentPermission.h"
#include "model/AgentPlanStep.h"
#include "model/AgentRole.h"
#include "model/AgentStep.h"
#include "model/Checkpoint.h"
#include "model/InspectTarget.h"

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace tarn {

using Timestamp = std::chrono::system_clock::time_point;

// One entry of the chat transcript.
struct AgentMessage {
    Uuid id;
    AgentRole role = AgentRole::system;
    std::string content;
    Timestamp timestamp = std::chrono::system_clock::now();
    std::vector<AgentPlanStep> plan;
    // What the agent did, in order: live while it works, kept with its reply.
    std::vector<AgentStep> steps;
    // How the agent's run went, in one line: turns, time, cost or tokens, as the tool says.
    std::string details;
    // What the agent thought on its way, shown folded away.
    std::string thoughts;
    std::vector<InspectTarget> selectedTargets;
    bool isThinking = false;
    // An agent's question before it acts: the message is then a card with its answers.
    std::optional<PermissionRequest> permission;
    // For a reply whose turn changed files: what it changed, to review, undo and redo.
    std::optional<ReplyChanges> changes;

    AgentMessage() = default;
    AgentMessage(AgentRole role, std::string content) : role(role), content(std::move(content)) {}

    friend bool operator==(const AgentMessage&, const AgentMessage&) = default;
};

}  // namespace tarn
