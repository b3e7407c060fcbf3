#pragma once
#include "agents/AgentRunResult.h"
#include "support/Json.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tarn {

// Reads Codex's `exec --json` events a line at a time: commands, file changes, web searches and
// tool calls become steps marked by their status, the to-do list becomes the plan, the agent's
// messages and reasoning go to the thinking message. Everything else it prints (its standard
// error) goes to the log; event and item types it does not know are skipped.
class CodexEventReader {
public:
    CodexEventReader(std::string projectRoot, AgentRunFeedback feedback);

    void read(const std::string& line);

    // Why the turn failed, in the tool's words, when it did.
    const std::optional<std::string>& failure() const { return failure_; }
    // "Tokens: 50 in, 25 out", from the completed turn.
    const std::string& details() const { return details_; }
    // Edits its read-only sandbox refused ("" each: it does not say which file).
    const std::vector<std::string>& refusedEdits() const { return refused_; }
    const std::vector<AgentStep>& steps() const { return steps_; }
    const std::vector<AgentPlanStep>& plan() const { return plan_; }
    const std::string& thoughts() const { return thoughts_; }

    // An item as a step; nothing for items that are words or the plan.
    static std::optional<AgentStep> stepFor(const json::Json& item, const std::string& root);

private:
    void readItem(const json::Json& item, bool completed);

    std::string root_;
    AgentRunFeedback feedback_;
    std::vector<AgentStep> steps_;
    std::map<std::string, std::size_t> stepOf_;
    std::vector<AgentPlanStep> plan_;
    std::string thoughts_;
    std::optional<std::string> failure_;
    std::string lastError_;
    std::string details_;
    std::vector<std::string> refused_;
};

}  // namespace tarn
