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
// The request an inline edit makes of a tool.
std::string inlineEditInstruction(const InspectTarget& target, const std::string& newText);
// The reply to a request a tool carried out: its summary, then the rest of its answer (the summary
// said once when it is the answer's first line).
std::string replyText(const AgentRunResult& result);
// The three steps shown under a tool's reply.
std::vector<AgentPlanStep> toolReplySteps(const std::string& toolName, const std::string& command, bool planMode);

}  // namespace tarn::requestTexts
