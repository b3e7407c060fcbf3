#pragma once
#include "agents/AgentTool.h"
#include "support/Json.h"

#include <optional>
#include <string>
#include <vector>

namespace tarn {

namespace acp {

// A string member of an object, or "" when it has none of that type.
std::string stringOf(const json::Json& object, const char* key);
// The text of a content block, or of a tool call's content item wrapping one.
std::string textOf(const json::Json& block);

// What a session update says, as Tarn shows it; exposed for the tests of its reading.
AgentStep::Kind stepKind(const std::string& toolKind);
// A tool call or its update laid over the step as it was (fields the update leaves out stay).
AgentStep applyToolCall(AgentStep step, const json::Json& update, const std::string& root);
std::vector<AgentPlanStep> planOf(const json::Json& update);
// The commands an `available_commands_update` offers (at most 200, names without spaces).
std::vector<AgentCommand> commandsOf(const json::Json& update);
// A permission request, laid over the tool call it names when that was announced before.
PermissionRequest permissionOf(const json::Json& params, const std::string& root, AgentStep known = {});
// The mode that only reads, among those the session offers; nothing when none does.
std::optional<std::string> readOnlyMode(const json::Json& modes);

}  // namespace acp

}  // namespace tarn
