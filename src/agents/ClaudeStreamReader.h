#pragma once
#include "agents/AgentRunResult.h"
#include "support/Json.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tarn {

// Reads Claude Code's `--output-format stream-json` output a line at a time, as it comes: the
// agent's words go to the thinking message, each tool call becomes a step marked when its result
// arrives, a to-do list becomes the plan, and the final `result` event is the reply. Lines that
// are not JSON (its standard error) go to the log; event types it does not know are skipped.
class ClaudeStreamReader {
public:
    ClaudeStreamReader(std::string projectRoot, AgentRunFeedback feedback);

    void read(const std::string& line);

    // The final `result` event, once it came.
    const std::optional<json::Json>& result() const { return result_; }
    // The reply's text, or why the run failed (its own words) when the result says it did.
    std::optional<std::string> answer() const;
    std::optional<std::string> failure() const;
    // "5 turns · 2.4 s · $0.0009", from the result.
    std::string details() const;
    // The files Plan Mode kept the agent from writing.
    std::vector<std::string> refusedEdits() const;

    const std::vector<AgentStep>& steps() const { return steps_; }
    const std::vector<AgentPlanStep>& plan() const { return plan_; }
    const std::string& thoughts() const { return thoughts_; }

    // A tool call as a step a person understands; nothing for calls that are the plan itself.
    static std::optional<AgentStep> stepFor(const std::string& name, const json::Json& input, const std::string& root);

private:
    void readAssistant(const json::Json& message);
    void readToolResults(const json::Json& message);

    std::string root_;
    AgentRunFeedback feedback_;
    std::vector<AgentStep> steps_;
    std::map<std::string, std::size_t> stepOf_;  // tool_use id → index in steps_
    std::vector<AgentPlanStep> plan_;
    std::string thoughts_;
    std::optional<json::Json> result_;
};

}  // namespace tarn
