#pragma once
#include "support/Translate.h"
#include "agents/AgentRunResult.h"
#include "agents/AgentTool.h"
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
class ClaudeCodeCLIService : public AgentTool {
public:
    AgentRuntime runtime() const override { return AgentRuntime::claudeCode; }
    std::string modelLabel() const override { return "Claude Code"; }
    std::optional<std::string> detectVersion() const override;
    Task<AgentRunResult> runRequest(AgentPrompt request, Url projectRoot, bool planMode, AgentRunFeedback feedback,
                                    std::optional<Cancellation> cancellation = std::nullopt) const override;
    Task<AgentBootstrapPlan> proposeStartupPlan(ProjectContext context, std::chrono::milliseconds limit = startupPlanLimit,
                                                std::optional<Cancellation> cancellation = std::nullopt) const override;

    // The reason a failed run gives: the `result` of its JSON answer (a tool that is not logged in
    // says so there, with nothing on standard error), else its last error line.
    static std::string failureReason(const ShellCommandOutput& output);

    static std::optional<std::string> locateTool();
    // How a request runs: its output streamed, with Plan Mode's permissions when it is on.
    static std::vector<std::string> requestArguments(const std::string& request, bool planMode);
    static std::string buildPrompt(const std::string& request, bool planMode);

    static constexpr const char* notInstalled = N_("Claude Code CLI is not installed or not in PATH.");
    static constexpr const char* outputMissing = N_("Claude Code did not return an output message.");
    static constexpr const char* invalidBootstrapResponse = N_("Claude Code returned an invalid bootstrap response.");
};

}  // namespace tarn
