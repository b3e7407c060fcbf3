#pragma once
#include "agents/AgentRunResult.h"
#include "model/AgentBootstrapPlan.h"
#include "model/AgentRuntime.h"
#include "model/InspectTarget.h"
#include "model/ProjectContext.h"
#include "support/Task.h"
#include "support/Url.h"

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace tarn {

// A request as an agent gets it: the words, which already describe the selected elements, and
// the elements themselves for an agent that takes them as links to their source.
struct AgentPrompt {
    std::string text;
    std::vector<InspectTarget> selected = {};

    AgentPrompt(std::string words, std::vector<InspectTarget> targets = {}) : text(std::move(words)), selected(std::move(targets)) {}
    AgentPrompt(const char* words) : text(words) {}
};

// An agent command-line tool, as the workspace uses it: whatever tool it is, the same questions.
class AgentTool {
public:
    virtual ~AgentTool() = default;

    virtual AgentRuntime runtime() const = 0;
    // The model behind the tool, as the composer names it.
    virtual std::string modelLabel() const = 0;

    // The trimmed version text, or nothing when the tool is missing or the probe fails. Blocks.
    virtual std::optional<std::string> detectVersion() const = 0;
    // A cancelled run ends the tool's whole group and throws AgentRunStopped.
    virtual Task<AgentRunResult> runRequest(AgentPrompt request, Url projectRoot, bool planMode, AgentRunFeedback feedback,
                                            std::optional<Cancellation> cancellation) const = 0;
    // Whether it can propose a project's install and dev commands; the local rules do otherwise.
    virtual bool plansStartups() const { return true; }
    // Gives up after `limit`, ending the tool's group, with an error that names the limit.
    virtual Task<AgentBootstrapPlan> proposeStartupPlan(ProjectContext context, std::chrono::milliseconds limit,
                                                        std::optional<Cancellation> cancellation) const = 0;

    static constexpr std::chrono::milliseconds startupPlanLimit{90000};
};

}  // namespace tarn
