#pragma once
#include "agents/AgentRunResult.h"
#include "agents/AgentToolError.h"
#include "support/Json.h"
#include "support/Task.h"
#include "support/Url.h"
#include "model/AgentBootstrapPlan.h"
#include "model/ProjectContext.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tarn {

// Drives the Codex tool (`codex exec`): its version, change requests with live progress mapped
// from its JSON event stream, start-up plans, and the runtime instructions file.
class CodexCLIService {
public:
    using ProgressCallback = std::function<void(const std::string&)>;

    std::optional<std::string> detectVersion() const;

    Task<AgentRunResult> runRequest(std::string request, Url projectRoot, bool planMode,
                                    ProgressCallback onProgress) const;

    Task<AgentBootstrapPlan> proposeStartupPlan(ProjectContext context) const;

    // Writes .tarn/instructions.md; throws the file system's error.
    Url writeRuntimeInstructions(const AgentBootstrapPlan& plan, const ProjectContext& context) const;

    // One output line of the tool as a short progress text, or nothing.
    static std::optional<std::string> progressText(const std::string& line);
    static std::optional<std::string> describeItem(const json::Json& event);

    static std::optional<std::string> locateTool();
    static std::string buildPrompt(const std::string& request, bool planMode);
    static std::string runProcess(const std::string& executable, const std::vector<std::string>& arguments);

    // The arguments that ask the tool to work without approvals: "--full-auto" where the tool
    // still takes it, "--sandbox workspace-write" for releases that dropped it. Decided from the
    // tool's own `exec --help` text.
    static Task<std::vector<std::string>> autonomyArguments(std::string tool);
    static std::vector<std::string> autonomyArgumentsFromHelp(const std::string& helpText);
};

}  // namespace tarn
