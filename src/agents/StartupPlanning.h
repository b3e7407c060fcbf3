#pragma once
#include "support/Json.h"
#include "support/Url.h"
#include "model/AgentBootstrapPlan.h"
#include "model/ProjectContext.h"

#include <optional>
#include <string>

// Asking an agent tool for a project's install and dev commands, and reading its answer.
namespace tarn::startup {

enum class Planner { claudeCode, codex };

std::string buildPlannerPrompt(const ProjectContext& context, Planner tool);
// The JSON schema Claude Code is asked to answer in.
const std::string& claudePlanSchema();

// A plan (without its planner) from the answer's members; absent without usable commands.
std::optional<AgentBootstrapPlan> parsePlanObject(const json::Json& object);
std::optional<AgentBootstrapPlan> parsePlanText(const std::string& text);
std::optional<AgentBootstrapPlan> parseBootstrapOutput(const std::string& text);

std::string readPackageJSONExcerpt(const Url& projectRoot);

// The plan of the local rules: the commands detection found.
AgentBootstrapPlan localPlan(const ProjectContext& context);
// The planner name of that plan.
inline constexpr const char* localPlanner = "Local fallback";

// Writes .tarn/instructions.md for the plan and returns its location.
Url writeRuntimeInstructions(const AgentBootstrapPlan& plan, const ProjectContext& context);

}  // namespace tarn::startup
