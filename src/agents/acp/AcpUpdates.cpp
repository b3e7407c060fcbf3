#include "agents/acp/AcpUpdates.h"
#include "support/Translate.h"

#include "agents/AgentToolSupport.h"
#include "support/Text.h"

#include <algorithm>

namespace tarn::acp {

std::string stringOf(const json::Json& object, const char* key) {
    auto it = object.find(key);
    return it != object.end() && it->is_string() ? it->get<std::string>() : std::string();
}

// The text of a content block, or of a tool call's content item wrapping one.
std::string textOf(const json::Json& block) {
    if (!block.is_object()) return {};
    if (stringOf(block, "type") == "text") return stringOf(block, "text");
    if (stringOf(block, "type") == "content" && block.contains("content")) return textOf(block["content"]);
    return {};
}


namespace {

std::string relative(const std::string& path, const std::string& root) { return agenttools::relativeToRoot(path, root); }

// Keeps what a person can read: a long file is not copied into every step.
constexpr std::size_t diffTextLimit = 256 * 1024;

std::vector<StepDiff> diffsOf(const json::Json& content, const std::string& root) {
    std::vector<StepDiff> diffs;
    if (!content.is_array()) return diffs;
    for (const auto& item : content) {
        if (!item.is_object() || stringOf(item, "type") != "diff") continue;
        StepDiff diff{relative(stringOf(item, "path"), root), stringOf(item, "oldText"), stringOf(item, "newText")};
        if (diff.oldText.size() > diffTextLimit) diff.oldText.resize(diffTextLimit);
        if (diff.newText.size() > diffTextLimit) diff.newText.resize(diffTextLimit);
        diffs.push_back(std::move(diff));
    }
    return diffs;
}

std::vector<std::string> locationsOf(const json::Json& locations, const std::string& root) {
    std::vector<std::string> out;
    if (!locations.is_array()) return out;
    for (const auto& location : locations) {
        if (!location.is_object()) continue;
        std::string where = relative(stringOf(location, "path"), root);
        if (where.empty()) continue;
        if (auto line = location.find("line"); line != location.end() && line->is_number_integer()) {
            where += ":" + std::to_string(line->get<long long>());
        }
        out.push_back(std::move(where));
    }
    return out;
}

// The command a tool call would run, when its raw input names one.
std::string commandOf(const json::Json& toolCall) {
    auto input = toolCall.find("rawInput");
    if (input == toolCall.end() || !input->is_object()) return {};
    auto command = input->find("command");
    if (command == input->end()) return {};
    if (command->is_string()) return command->get<std::string>();
    if (command->is_array()) {
        std::vector<std::string> parts;
        for (const auto& part : *command) {
            if (part.is_string()) parts.push_back(part.get<std::string>());
        }
        return text::join(parts, " ");
    }
    return {};
}

}  // namespace

AgentStep::Kind stepKind(const std::string& toolKind) {
    if (toolKind == "read") return AgentStep::Kind::read;
    if (toolKind == "edit" || toolKind == "delete" || toolKind == "move") return AgentStep::Kind::edit;
    if (toolKind == "search") return AgentStep::Kind::search;
    if (toolKind == "execute") return AgentStep::Kind::run;
    if (toolKind == "think") return AgentStep::Kind::think;
    if (toolKind == "fetch") return AgentStep::Kind::web;
    return AgentStep::Kind::other;
}

AgentStep applyToolCall(AgentStep step, const json::Json& update, const std::string& root) {
    if (auto id = stringOf(update, "toolCallId"); !id.empty()) step.id = id;
    if (auto title = text::trim(stringOf(update, "title")); !title.empty()) {
        // Agents name files by their full path, often in Markdown's backticks: the project's own words are shorter.
        if (!root.empty()) title = text::replaceAll(title, root + "/", "");
        step.title = text::firstLine(text::replaceAll(title, "`", ""), 200);
    }
    if (update.contains("kind")) step.kind = stepKind(stringOf(update, "kind"));
    if (update.contains("status")) {
        const std::string status = stringOf(update, "status");
        step.status = status == "completed" ? AgentStep::Status::done
                      : status == "failed"  ? AgentStep::Status::failed
                                            : AgentStep::Status::running;
    }
    if (update.contains("locations")) step.locations = locationsOf(update["locations"], root);
    if (update.contains("content")) {
        auto diffs = diffsOf(update["content"], root);
        if (!diffs.empty()) step.diffs = std::move(diffs);
    }
    if (step.title.empty()) {
        const std::string command = commandOf(update);
        step.title = !command.empty() ? tr::format(_("Running %1"), {text::firstLine(command, 200)})
                     : !step.locations.empty() ? step.locations.front()
                                               : std::string(_("Working"));
    } else if (!step.locations.empty()) {
        // "Read File" says what, not which: the place it names, when the title does not.
        const std::string& where = step.locations.front();
        const std::string file = where.substr(0, where.rfind(':') == std::string::npos ? where.size() : where.rfind(':'));
        if (!text::contains(step.title, file)) step.title = tr::format(_("%1 · %2"), {step.title, file});
    }
    return step;
}

std::vector<AgentPlanStep> planOf(const json::Json& update) {
    std::vector<AgentPlanStep> plan;
    auto entries = update.find("entries");
    if (entries == update.end() || !entries->is_array()) return plan;
    for (const auto& entry : *entries) {
        if (!entry.is_object()) continue;
        AgentPlanStep step;
        step.title = text::firstLine(stringOf(entry, "content"), 300);
        step.completed = stringOf(entry, "status") == "completed";
        if (stringOf(entry, "status") == "in_progress") step.detail = _("In progress");
        plan.push_back(std::move(step));
    }
    return plan;
}

std::vector<AgentCommand> commandsOf(const json::Json& update) {
    std::vector<AgentCommand> commands;
    auto list = update.find("availableCommands");
    if (list == update.end() || !list->is_array()) return commands;
    for (const auto& entry : *list) {
        if (!entry.is_object() || commands.size() == 200) continue;
        AgentCommand command{text::trim(stringOf(entry, "name")), text::firstLine(stringOf(entry, "description"), 200), ""};
        if (command.name.starts_with('/')) command.name.erase(0, 1);
        if (command.name.empty() || command.name.find_first_of(" \t\n") != std::string::npos) continue;
        if (auto input = entry.find("input"); input != entry.end() && input->is_object()) command.hint = text::firstLine(stringOf(*input, "hint"), 100);
        commands.push_back(std::move(command));
    }
    return commands;
}

PermissionRequest permissionOf(const json::Json& params, const std::string& root, AgentStep known) {
    PermissionRequest request;
    const json::Json toolCall = params.value("toolCall", json::Json::object());
    // The tool call asked about is most often one already announced: its update fills in the rest.
    const AgentStep step = applyToolCall(std::move(known), toolCall.is_object() ? toolCall : json::Json::object(), root);
    request.title = step.title;
    request.kind = step.kind;
    request.locations = step.locations;
    request.diffs = step.diffs;
    if (toolCall.is_object()) request.command = commandOf(toolCall);
    if (auto options = params.find("options"); options != params.end() && options->is_array()) {
        for (const auto& option : *options) {
            if (!option.is_object()) continue;
            const std::string kind = stringOf(option, "kind");
            PermissionOption o{stringOf(option, "optionId"), stringOf(option, "name"),
                               kind == "allow_always"    ? PermissionOption::Kind::allowAlways
                               : kind == "reject_once"   ? PermissionOption::Kind::rejectOnce
                               : kind == "reject_always" ? PermissionOption::Kind::rejectAlways
                                                         : PermissionOption::Kind::allowOnce};
            if (o.id.empty()) continue;
            if (o.name.empty()) o.name = o.id;
            request.options.push_back(std::move(o));
        }
    }
    return request;
}

std::optional<std::string> readOnlyMode(const json::Json& modes) {
    auto available = modes.find("availableModes");
    if (available == modes.end() || !available->is_array()) return std::nullopt;
    for (const auto& mode : *available) {
        const std::string words = text::toLower(stringOf(mode, "id") + " " + stringOf(mode, "name"));
        if (text::contains(words, "plan") || text::contains(words, "read-only") || text::contains(words, "read only") ||
            text::contains(words, "readonly")) {
            return stringOf(mode, "id");
        }
    }
    return std::nullopt;
}

}  // namespace tarn::acp
