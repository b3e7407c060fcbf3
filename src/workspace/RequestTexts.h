#pragma once
#include "agents/AgentRunResult.h"
#include "model/AgentPlanStep.h"
#include "model/InspectTarget.h"

#include <string>
#include <vector>

// What the workspace says to the agent tools and shows of their work: request texts and replies.
namespace tarn::requestTexts {

// The user's words, then one line per selected element (nothing added without a selection).
std::string composeAgentRequest(const std::string& text, const std::vector<InspectTarget>& targets);
std::string describeSelectedTarget(std::size_t index, const InspectTarget& target);
// The request an inline edit makes of a tool, with why the exact replacement was not made here.
std::string inlineEditInstruction(const InspectTarget& target, const std::string& newText, const std::string& refusal);
// The reply to a request a tool carried out: its summary, then the rest of its answer (the summary
// said once when it is the answer's first line), then what Plan Mode refused.
std::string replyText(const AgentRunResult& result);
// What Plan Mode kept the agent from changing, one sentence, or nothing when it refused nothing.
std::string refusedEditsNote(const std::vector<std::string>& refused);

}  // namespace tarn::requestTexts
