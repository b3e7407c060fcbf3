#pragma once
#include "agents/ClaudeCodeCLIService.h"
#include "support/Translate.h"
#include "agents/CodexCLIService.h"
#include "agents/acp/AcpAgent.h"
#include "model/AgentRuntime.h"
#include "support/Published.h"
#include "support/Task.h"
#include "workspace/Owner.h"

#include "support/RollingList.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tarn {

// The agent tools: which are installed (asked of both at once), which one the user chose, and the
// one requests and planning go to.
class AgentRuntimes {
public:
    explicit AgentRuntimes(const Owner& owner) : owner_(owner) {}

    Published<std::string> agentStatusLabel{_("Agents: checking...")};

    // The model the selected tool uses, as it reports it; the tool's name until it does.
    Published<std::string> modelLabel{"Codex"};
    // What the agent tools print for themselves (their standard error, their housekeeping).
    Published<RollingList<std::string>> agentLog;
    static constexpr std::size_t agentLogLimit = 300;
    Published<std::vector<AgentRuntime>> availableAgentRuntimes;
    Published<AgentRuntime> selectedAgentRuntime{AgentRuntime::codex};

    // The ACP agents offered: the user's, then the known ones on the search path.
    Published<std::vector<AcpAgentEntry>> acpAgents;
    // What the user allowed agents for good, per project; kept in the settings.
    Published<std::vector<AlwaysAllowed>> alwaysAllowed;
    // The commands the selected agent offers after "/", once it said them.
    Published<std::vector<AgentCommand>> commands;

    // What each tool answered; asked on any thread, taken on the main thread.
    struct Versions {
        std::optional<std::string> codex, claudeCode;
        // Each offered ACP agent, with its command's path when it is on the search path.
        std::vector<std::pair<AcpAgentEntry, std::optional<std::string>>> acp = {};
        std::vector<AlwaysAllowed> allowed = {};
    };
    Versions probe() const;
    void apply(const Versions& versions);
    // Both at once: blocking, or off the main thread.
    void refresh() { apply(probe()); }
    Task<void> refreshInBackground();
    // The launch's one probe: started by the first that needs it, waited for by the others.
    Task<void> ensureKnown();

    void select(AgentRuntime runtime);
    // The user's list of ACP agents, kept in the settings; the tools are asked again after a change.
    // Throws PlatformError when the settings cannot be written.
    Task<void> addAgent(AcpAgentEntry agent);
    Task<void> removeAgent(std::string name);
    // Throw PlatformError when the settings cannot be written.
    void allowAlways(AlwaysAllowed allowed);
    void takeBack(const AlwaysAllowed& allowed);
    // A tool named its model while it ran: the composer says it from now on.
    void reportModel(AgentRuntime runtime, const std::string& model);
    void reportCommands(AgentRuntime runtime, const std::vector<AgentCommand>& offered);
    void logLine(const std::string& line);
    std::optional<AgentRuntime> resolved() const;
    // The tool to use, or none: the local rules and the local agent then.
    const AgentTool* tool() const;

    // Whether the tools have answered once; requests wait for that.
    bool known() const { return probed_.isOpen(); }
    Latch::Awaiter whenKnown() const { return probed_.wait(); }

private:
    const AgentTool& toolFor(AgentRuntime runtime) const;
    std::string modelOf(AgentRuntime runtime) const;
    std::vector<AgentCommand> commandsOf(AgentRuntime runtime) const;

    const Owner& owner_;
    CodexCLIService codex_;
    ClaudeCodeCLIService claudeCode_;
    // One a listed agent, kept while it is listed: it holds the agent's process and sessions.
    std::map<std::string, std::unique_ptr<AcpAgent>> acp_;
    Latch probed_;
    bool probing_ = false;
    std::map<AgentRuntime, std::string> reportedModels_;
    std::map<AgentRuntime, std::vector<AgentCommand>> reportedCommands_;
};

}  // namespace tarn
