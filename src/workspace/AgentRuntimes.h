#pragma once
#include "agents/ClaudeCodeCLIService.h"
#include "support/Translate.h"
#include "agents/CodexCLIService.h"
#include "model/AgentRuntime.h"
#include "support/Published.h"
#include "support/Task.h"
#include "workspace/Owner.h"

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

    Published<std::string> modelLabel{"GPT-5 Codex"};
    Published<std::vector<AgentRuntime>> availableAgentRuntimes;
    Published<AgentRuntime> selectedAgentRuntime{AgentRuntime::codex};

    // What each tool answered; asked on any thread, taken on the main thread.
    struct Versions {
        std::optional<std::string> codex, claudeCode;
    };
    Versions probe() const;
    void apply(const Versions& versions);
    // Both at once: blocking, or off the main thread.
    void refresh() { apply(probe()); }
    Task<void> refreshInBackground();
    // The launch's one probe: started by the first that needs it, waited for by the others.
    Task<void> ensureKnown();

    void select(AgentRuntime runtime);
    std::optional<AgentRuntime> resolved() const;
    // The tool to use, or none: the local rules and the local agent then.
    const AgentTool* tool() const;

    // Whether the tools have answered once; requests wait for that.
    bool known() const { return probed_.isOpen(); }
    Latch::Awaiter whenKnown() const { return probed_.wait(); }

private:
    const AgentTool& toolFor(AgentRuntime runtime) const;

    const Owner& owner_;
    CodexCLIService codex_;
    ClaudeCodeCLIService claudeCode_;
    Latch probed_;
    bool probing_ = false;
};

}  // namespace tarn
