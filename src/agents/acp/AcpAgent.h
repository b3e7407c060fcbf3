#pragma once
#include "agents/AgentTool.h"
#include "agents/acp/JsonRpcPeer.h"
#include "support/Subprocess.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace tarn {

// An agent that speaks the Agent Client Protocol, as the user listed it.
struct AcpAgentEntry {
    std::string name;     // "Gemini CLI"
    std::string command;  // a name on the search path, or a path
    std::vector<std::string> arguments;
    Environment environment;  // added to Tarn's own

    friend bool operator==(const AcpAgentEntry&, const AcpAgentEntry&) = default;
};

// Agents whose launch line is known, offered when their command is on the search path.
const std::vector<AcpAgentEntry>& knownAcpAgents();

// Requests through an ACP agent: one agent process and one session a project, kept for the
// project's next requests. A signed-out agent is not signed in from here (its methods open a
// browser or ask in a terminal): the reply says how, with the agent's own words and methods. The agent edits on disk itself (Tarn offers it no file system and no
// terminal), so the checkpoints around each turn see every change.
class AcpAgent : public AgentTool {
public:
    explicit AcpAgent(AcpAgentEntry entry);
    ~AcpAgent() override;

    AgentRuntime runtime() const override { return AgentRuntime::acp(entry_.name); }
    std::string modelLabel() const override { return entry_.name; }
    // The command's path when it is on the search path; the agent itself is asked nothing.
    std::optional<std::string> detectVersion() const override;
    // Stopping sends session/cancel; an agent whose turn has not ended 5 s later is ended.
    Task<AgentRunResult> runRequest(AgentPrompt request, Url projectRoot, bool planMode, AgentRunFeedback feedback,
                                    std::optional<Cancellation> cancellation = std::nullopt) const override;
    // ACP has no start-up planning: the local rules plan.
    bool plansStartups() const override { return false; }
    Task<AgentBootstrapPlan> proposeStartupPlan(ProjectContext context, std::chrono::milliseconds limit,
                                                std::optional<Cancellation> cancellation) const override;

    const AcpAgentEntry& entry() const { return entry_; }

    static constexpr std::chrono::milliseconds setupLimit{60000};
    static constexpr std::chrono::milliseconds stopGrace{5000};
    static constexpr int protocolVersion = 1;

    struct Connection;

private:
    Task<std::shared_ptr<Connection>> connect(Url projectRoot, AgentRunFeedback& feedback) const;

    AcpAgentEntry entry_;
    mutable std::map<std::string, std::shared_ptr<Connection>> connections_;
};

}  // namespace tarn
