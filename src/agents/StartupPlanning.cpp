#include "agents/StartupPlanning.h"

#include "agents/AgentToolSupport.h"
#include "support/Files.h"
#include "support/GObjectPtr.h"
#include "support/Text.h"

#include <glib.h>

namespace tarn::startup {

namespace {

const char* const kClaudePreamble =
    "You are a JavaScript project bootstrap planner.\n"
    "Return install/dev commands that work for this project.\n"
    "Prefer commands matching installed package managers.\n"
    "If unsure, default to npm.\n"
    "\n"
    "Context:\n"
    "- stack: ";

const char* const kClaudeClosing = "\n\nProvide a short rationale and safe alternatives.";

const char* const kCodexPreamble =
    "You are a JavaScript project bootstrap planner.\n"
    "Return ONLY valid JSON with this shape:\n"
    "{\n"
    "  \"install_command\": \"string\",\n"
    "  \"dev_command\": \"string\",\n"
    "  \"rationale\": \"string\",\n"
    "  \"alternatives\": [\"string\"]\n"
    "}\n"
    "\n"
    "Constraints:\n"
    "- Commands must work in zsh from the project root.\n"
    "- Prefer commands that match available package managers.\n"
    "- If a lockfile suggests a missing runtime, choose a safe fallback.\n"
    "- If uncertain, use npm commands.\n"
    "- No markdown, no comments, no extra keys.\n"
    "\n"
    "Signals:\n"
    "- stack: ";

const std::size_t kExcerptCharacters = 8000;

std::string managersText(const ProjectContext& context) {
    std::vector<std::string> names;
    for (auto manager : context.availablePackageManagers) names.emplace_back(rawValueOf(manager));
    return names.empty() ? "none" : text::join(names, ", ");
}

std::string isoTimestampNow() {
    GPtr<GDateTime, g_date_time_unref> now(g_date_time_new_now_utc());
    GCharPtr formatted(g_date_time_format(now.get(), "%Y-%m-%dT%H:%M:%SZ"));
    std::string out = formatted.get();
    return out;
}

}  // namespace

const std::string& claudePlanSchema() {
    static const std::string schema =
        "{\n"
        "  \"type\": \"object\",\n"
        "  \"additionalProperties\": false,\n"
        "  \"required\": [\"install_command\", \"dev_command\", \"rationale\", \"alternatives\"],\n"
        "  \"properties\": {\n"
        "    \"install_command\": { \"type\": \"string\", \"minLength\": 1 },\n"
        "    \"dev_command\": { \"type\": \"string\", \"minLength\": 1 },\n"
        "    \"rationale\": { \"type\": \"string\", \"minLength\": 1 },\n"
        "    \"alternatives\": {\n"
        "      \"type\": \"array\",\n"
        "      \"items\": { \"type\": \"string\" }\n"
        "    }\n"
        "  }\n"
        "}";
    return schema;
}

std::string readPackageJSONExcerpt(const Url& projectRoot) {
    std::string content;
    try {
        content = files::readFile(std::filesystem::path(projectRoot.path()) / "package.json", 16 * 1024 * 1024);
    } catch (const std::exception&) {
        return "package.json unavailable";
    }
    content = text::decodeUtf8Lossy(content);
    std::string head = text::graphemePrefix(content, kExcerptCharacters + 1);
    if (text::graphemeCount(head) <= kExcerptCharacters) return content;
    return text::graphemePrefix(content, kExcerptCharacters) + "\n...<truncated>";
}

std::string buildPlannerPrompt(const ProjectContext& context, Planner tool) {
    std::string prompt = tool == Planner::claudeCode ? kClaudePreamble : kCodexPreamble;
    prompt += rawValueOf(context.stack);
    prompt += "\n- lockfiles: " + (context.lockfiles.empty() ? std::string("none") : text::join(context.lockfiles, ", "));
    prompt += "\n- package managers available in PATH: " + managersText(context);
    prompt += "\n- local default install command: " + context.installCommand;
    prompt += "\n- local default dev command: " + context.devCommand;
    prompt += "\n- package.json:\n" + readPackageJSONExcerpt(context.rootURL);
    if (tool == Planner::claudeCode) prompt += kClaudeClosing;
    return prompt;
}

std::optional<AgentBootstrapPlan> parsePlanObject(const json::Json& object) {
    auto install = json::stringMember(object, "install_command");
    auto dev = json::stringMember(object, "dev_command");
    if (!install || !dev) return std::nullopt;
    AgentBootstrapPlan plan;
    plan.installCommand = text::trim(*install);
    plan.devCommand = text::trim(*dev);
    if (plan.installCommand.empty() || plan.devCommand.empty()) return std::nullopt;
    auto rationale = json::stringMember(object, "rationale");
    plan.rationale = rationale ? text::trim(*rationale) : "No rationale provided.";
    if (auto alternatives = object.find("alternatives"); alternatives != object.end() && alternatives->is_array()) {
        bool allText = std::all_of(alternatives->begin(), alternatives->end(), [](auto& a) { return a.is_string(); });
        if (allText) {
            for (const auto& a : *alternatives) plan.alternatives.push_back(a.template get<std::string>());
        }
    }
    return plan;
}

std::optional<AgentBootstrapPlan> parsePlanText(const std::string& input) {
    auto object = json::parseObject(text::trim(agenttools::stripCodeFences(input)));
    if (!object) return std::nullopt;
    return parsePlanObject(*object);
}

std::optional<AgentBootstrapPlan> parseBootstrapOutput(const std::string& input) {
    auto object = agenttools::parseJSONObject(input);
    if (!object) return std::nullopt;
    if (auto structured = object->find("structured_output"); structured != object->end() && structured->is_object()) {
        if (auto plan = parsePlanObject(*structured)) return plan;
    }
    if (auto plan = parsePlanObject(*object)) return plan;
    if (auto answer = agenttools::extractResultText(*object)) return parsePlanText(*answer);
    return std::nullopt;
}

AgentBootstrapPlan localPlan(const ProjectContext& context) {
    return AgentBootstrapPlan{context.installCommand, context.devCommand,
                              "Using local runtime detection based on lockfiles and available binaries.", {}, localPlanner};
}

Url writeRuntimeInstructions(const AgentBootstrapPlan& plan, const ProjectContext& context) {
    std::vector<std::string> lockLines, altLines;
    for (const auto& name : context.lockfiles) lockLines.push_back("- " + name);
    for (const auto& alt : plan.alternatives) altLines.push_back("- " + alt);

    std::string out = "# Tarn Runtime Instructions\n\nGenerated: " + isoTimestampNow();
    out += "\nSource: " + plan.planner;
    out += "\n\n## Project signals\n- stack: " + std::string(rawValueOf(context.stack));
    out += "\n- detected lockfiles:\n" + (lockLines.empty() ? std::string("- none detected") : text::join(lockLines, "\n"));
    out += "\n- package managers found in PATH: " + managersText(context);
    out += "\n\n## Commands to run\n- install: `" + plan.installCommand + "`\n- dev server: `" + plan.devCommand + "`";
    out += "\n\n## Why\n" + plan.rationale;
    out += "\n\n## Alternatives\n" + (altLines.empty() ? std::string("- none") : text::join(altLines, "\n"));

    return Url::fileURL(agenttools::writeTarnFile(context.rootURL, "instructions.md", out).string());
}

}  // namespace tarn::startup
