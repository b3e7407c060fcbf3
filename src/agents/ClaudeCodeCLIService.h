#pragma once
#include "agents/AgentRunResult.h"
#include "agents/AgentToolError.h"
#include "process/ShellCommandRunner.h"
#include "support/Task.h"
#include "support/Url.h"
#include "model/AgentBootstrapPlan.h"
#include "model/ProjectContext.h"

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tarn {

// Drives the Claude Code tool (`claude`): its version, change requests run in print mode in the
// project folder, and start-up plans.
class ClaudeCodeCLIService {
public:
    // The trimmed version text, or nothing when the tool is missing or the probe fails. Blocks.
    std::optional<std::string> detectVersion() const;

    // A cancelled run ends the tool's whole group and throws AgentRunStopped.
    Task<AgentRunResult> runRequest(std::string request, Url projectRoot, bool planMode, AgentRunFeedback feedback,
                                    std::optional<Cancellation> cancellation = std::nullopt) const;

    // Gives up after `limit`, ending the tool's group, with an error that names the limit.
    Task<AgentBootstrapPlan> proposeStartupPlan(ProjectContext context,
                                                std::chrono::milliseconds limit = startupPlanLimit,
                                                std::optional<Cancellation> cancellation = std::nullopt) const;
    static constexpr std::chrono::milliseconds startupPlanLimit{90000};

    // The reason a failed run gives: the `result` of its JSON answer (a tool that is not logged in
    // says so there, with nothing on standard error), else its last error line.
    static std::string failureReason(const ShellCommandOutput& output);

    static std::optional<std::string> locateTool();
    static std::string buildPrompt(const std::string& request, bool planMode);
    // Runs the tool synchronously; a non-zero status throws executionFailed with its error text.
    static std::string runProcess(const std::string& executable, const std::vector<std::string>& arguments);
};

}  // namespace tarn
