#include "agents/StartupPlanning.h"

#include "agents/AgentTexts.h"
#include "agents/AgentToolSupport.h"
#include "support/Files.h"
#include "support/GObjectPtr.h"
#include "support/Text.h"

#include <glib.h>

namespace tarn::startup {

namespace {

const std::size_t kExcerptCharacters = 8000;

std::string managersText(const ProjectContext& context) {
    std::vector<std::string> names;
    for (auto manager : context.availablePackageManagers) names.emplace_back(nameOf(manager));
    return names.empty() ? "none" : text::join(names, ", ");
}

std::string isoTimestampNow() {
    GPtr<GDateTime, g_date_time_unref> now(g_date_time_new_now_utc());
    GCharPtr formatted(g_date_time_format(now.get(), "%Y-%m-%dT%H:%M:%SZ"));
    std::string out = formatted.get();
    return out;
}

}  // namespace

const std::string& claudePlanSchema() { return agenttexts::get("plan-schema.json"); }

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
    return agenttexts::fill(tool == Planner::claudeCode ? "planner-claude.txt" : "planner-codex.txt",
                            {{"stack", std::string(nameOf(context.stack))},
                             {"lockfiles", context.lockfiles.empty() ? std::string("none") : text::join(context.lockfiles, ", ")},
                             {"managers", managersText(context)},
                             {"install", context.installCommand},
                             {"dev", context.devCommand},
                             {"package", readPackageJSONExcerpt(context.rootURL)}});
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
    out += "\n\n## Project signals\n- stack: " + std::string(nameOf(context.stack));
    out += "\n- detected lockfiles:\n" + (lockLines.empty() ? std::string("- none detected") : text::join(lockLines, "\n"));
    out += "\n- package managers found in PATH: " + managersText(context);
    out += "\n\n## Commands to run\n- install: `" + plan.installCommand + "`\n- dev server: `" + plan.devCommand + "`";
    out += "\n\n## Why\n" + plan.rationale;
    out += "\n\n## Alternatives\n" + (altLines.empty() ? std::string("- none") : text::join(altLines, "\n"));

    return Url::forFile(agenttools::writeTarnFile(context.rootURL, "instructions.md", out).string());
}

}  // namespace tarn::startup
