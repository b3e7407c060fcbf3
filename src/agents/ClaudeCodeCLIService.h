#pragma once
#include "agents/AgentRunResult.h"
#include "agents/AgentToolError.h"
#include "support/Task.h"
#include "support/Url.h"
#include "model/AgentBootstrapPlan.h"
#include "model/ProjectContext.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tarn {

// Drives the Claude Code tool (`claude`): its version, change requests run in print mode in the
// project folder, and start-up plans.
class ClaudeCodeCLIService {
public:
    using StatusCallback = std::function<void(const std::string&)>;

    // The trimmed version text, or nothing when the tool is missing or the probe fails. Blocks.
    std::optional<std::string> detectVersion() const;

    Task<AgentRunResult> runRequest(std::string request, Url projectRoot, bool planMode, StatusCallback onStatus) const;

    Task<AgentBootstrapPlan> proposeStartupPlan(ProjectContext context) const;

    static std::optional<std::string> locateTool();
    static std::string buildPrompt(const std::string& request, bool planMode);
    // Runs the tool synchronously; a non-zero status throws executionFailed with its error text.
    static std::string runProcess(const std::string& executable, const std::vector<std::string>& arguments);
};

}  // namespace tarn
