#pragma once
#include "support/Translate.h"
#include "agents/AgentRunResult.h"
#include "agents/AgentTool.h"
#include "agents/AgentToolError.h"
#include "process/ShellCommandRunner.h"
#include "support/Json.h"
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

// Drives the Codex tool (`codex exec`): its version, change requests read live from its JSON
// event stream, and start-up plans.
class CodexCLIService : public AgentTool {
public:
    AgentRuntime runtime() const override { return AgentRuntime::codex; }
    // The model its configuration names, else the tool's name.
    std::string modelLabel() const override { return configuredModel().value_or("Codex"); }
    std::optional<std::string> detectVersion() const override;
    Task<AgentRunResult> runRequest(AgentPrompt request, Url projectRoot, bool planMode, AgentRunFeedback feedback,
                                    std::optional<Cancellation> cancellation = std::nullopt) const override;
    Task<AgentBootstrapPlan> proposeStartupPlan(ProjectContext context, std::chrono::milliseconds limit = startupPlanLimit,
                                                std::optional<Cancellation> cancellation = std::nullopt) const override;

    static std::optional<std::string> locateTool();
    // `model = "…"` at the top of $CODEX_HOME/config.toml (~/.codex when unset).
    static std::optional<std::string> configuredModel();
    static std::optional<std::string> modelFromConfig(const std::string& toml);
    static std::string buildPrompt(const std::string& request, bool planMode);

    // The arguments that ask the tool to work without approvals: "--full-auto" where the tool's
    // `exec --help` lists that option, "--sandbox workspace-write" otherwise (also when the help
    // cannot be read). Asked once per executable (path and modification time).
    static Task<std::vector<std::string>> autonomyArguments(std::string tool);
    static std::vector<std::string> autonomyArgumentsFromHelp(const std::string& helpText);
    // The reason a failed run gives: its last error event (or failed turn), else its last error line.
    static std::string failureReason(const ShellCommandOutput& output);

    static constexpr const char* notInstalled = N_("Codex CLI is not installed or not in PATH.");
    static constexpr const char* outputMissing = N_("Codex did not return an output message.");
    static constexpr const char* invalidBootstrapResponse = N_("Codex returned an invalid bootstrap response.");
};

}  // namespace tarn
