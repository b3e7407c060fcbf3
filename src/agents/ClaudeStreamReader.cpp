#include "agents/ClaudeStreamReader.h"
#include "support/Translate.h"

#include "agents/AgentToolSupport.h"
#include "support/Text.h"

#include <cstdio>

namespace tarn {

ClaudeStreamReader::ClaudeStreamReader(std::string projectRoot, AgentRunFeedback feedback)
    : root_(std::move(projectRoot)), feedback_(std::move(feedback)) {}

void ClaudeStreamReader::read(const std::string& line) {
    const std::string trimmed = text::trim(line);
    if (trimmed.empty()) return;
    std::optional<json::Json> event;
    if (trimmed.front() == '{') event = json::parseObject(trimmed);
    if (!event) {
        if (feedback_.log) feedback_.log(trimmed);
        return;
    }
    const std::string type = json::stringMember(*event, "type").value_or("");
    if (type == "system" && json::stringMember(*event, "subtype") == "init") {
        if (auto model = json::firstNonBlankString(*event, {"model"}); model && feedback_.model) {
            // "claude-opus-4-8[1m]": the context window's mark is not the model's name.
            feedback_.model(model->substr(0, model->find('[')));
        }
    } else if (type == "assistant") {
        if (auto message = event->find("message"); message != event->end() && message->is_object()) readAssistant(*message);
    } else if (type == "user") {
        if (auto message = event->find("message"); message != event->end() && message->is_object()) readToolResults(*message);
    } else if (type == "result") {
        result_ = std::move(*event);
    }
}

void ClaudeStreamReader::readAssistant(const json::Json& message) {
    auto content = message.find("content");
    if (content == message.end() || !content->is_array()) return;
    for (const auto& block : *content) {
        if (!block.is_object()) continue;
        const std::string type = json::stringMember(block, "type").value_or("");
        if (type == "text" || type == "thinking") {
            auto words = json::firstNonBlankString(block, {"text", "thinking"});
            if (words && feedback_.progress) feedback_.progress(*words);
            if (words && type == "thinking") agenttools::keepThought(thoughts_, *words);
            continue;
        }
        if (type != "tool_use") continue;
        const std::string name = json::stringMember(block, "name").value_or("");
        const json::Json input = block.contains("input") && block["input"].is_object() ? block["input"] : json::Json::object();
        if (auto todos = input.find("todos"); todos != input.end() && todos->is_array()) {
            plan_.clear();
            for (const auto& todo : *todos) {
                if (!todo.is_object()) continue;
                AgentPlanStep step;
                step.title = json::firstNonBlankString(todo, {"content", "subject", "activeForm"}).value_or("");
                step.completed = json::stringMember(todo, "status") == "completed";
                if (!step.title.empty()) plan_.push_back(std::move(step));
            }
            if (feedback_.plan) feedback_.plan(plan_);
            continue;
        }
        auto step = stepFor(name, input, root_);
        if (!step) continue;
        step->id = json::stringMember(block, "id").value_or("");
        stepOf_[step->id] = steps_.size();
        steps_.push_back(*step);
        if (feedback_.step) feedback_.step(*step);
    }
}

void ClaudeStreamReader::readToolResults(const json::Json& message) {
    auto content = message.find("content");
    if (content == message.end() || !content->is_array()) return;
    for (const auto& block : *content) {
        if (!block.is_object() || json::stringMember(block, "type") != "tool_result") continue;
        auto it = stepOf_.find(json::stringMember(block, "tool_use_id").value_or(""));
        if (it == stepOf_.end()) continue;
        AgentStep& step = steps_[it->second];
        const bool failed = block.contains("is_error") && block["is_error"].is_boolean() && block["is_error"].get<bool>();
        step.status = failed ? AgentStep::Status::failed : AgentStep::Status::done;
        if (feedback_.step) feedback_.step(step);
    }
}

std::optional<AgentStep> ClaudeStreamReader::stepFor(const std::string& name, const json::Json& input, const std::string& root) {
    auto member = [&](std::initializer_list<std::string_view> keys) {
        return json::firstNonBlankString(input, keys).value_or("");
    };
    auto path = [&] { return agenttools::relativeToRoot(member({"file_path", "notebook_path", "path"}), root); };
    AgentStep step;
    if (name == "Read") {
        step = {"", AgentStep::Kind::read, tr::format(_("Reading %1"), {path()})};
    } else if (name == "Edit" || name == "MultiEdit" || name == "NotebookEdit") {
        step = {"", AgentStep::Kind::edit, tr::format(_("Editing %1"), {path()})};
    } else if (name == "Write") {
        step = {"", AgentStep::Kind::edit, tr::format(_("Writing %1"), {path()})};
    } else if (name == "Bash") {
        step = {"", AgentStep::Kind::run, tr::format(_("Running %1"), {text::firstLine(member({"command"}), 80)})};
    } else if (name == "Grep") {
        step = {"", AgentStep::Kind::search, tr::format(_("Searching for “%1”"), {text::firstLine(member({"pattern"}), 60)})};
    } else if (name == "Glob") {
        step = {"", AgentStep::Kind::search, tr::format(_("Finding files matching %1"), {member({"pattern"})})};
    } else if (name == "WebFetch") {
        step = {"", AgentStep::Kind::web, tr::format(_("Fetching %1"), {member({"url"})})};
    } else if (name == "WebSearch") {
        step = {"", AgentStep::Kind::web, tr::format(_("Searching the web for “%1”"), {member({"query"})})};
    } else if (name == "Task" || name == "Agent") {
        step = {"", AgentStep::Kind::think, tr::format(_("Asking a helper: %1"), {member({"description", "prompt"})})};
    } else if (name.empty()) {
        return std::nullopt;
    } else {
        // "mcp__server__tool" and tools of later releases: their name is what there is to say.
        std::string shown = name;
        if (text::startsWith(shown, "mcp__")) shown = text::replaceAll(shown.substr(5), "__", " · ");
        step = {"", AgentStep::Kind::other, tr::format(_("Using %1"), {shown})};
    }
    return step;
}

std::optional<std::string> ClaudeStreamReader::answer() const {
    if (!result_) return std::nullopt;
    return agenttools::extractResultText(*result_);
}

std::optional<std::string> ClaudeStreamReader::failure() const {
    if (!result_) return std::nullopt;
    const bool isError = result_->contains("is_error") && (*result_)["is_error"].is_boolean() && (*result_)["is_error"].get<bool>();
    const std::string subtype = json::stringMember(*result_, "subtype").value_or("success");
    if (!isError && subtype == "success") return std::nullopt;
    if (auto words = json::firstNonBlankString(*result_, {"result", "error", "message"})) return words;
    if (auto errors = result_->find("errors"); errors != result_->end() && errors->is_array()) {
        for (const auto& e : *errors) {
            if (e.is_string() && !text::trim(e.get<std::string>()).empty()) return e.get<std::string>();
        }
    }
    // "error_max_turns" and the like: the subtype is the reason.
    return tr::format(_("Claude Code stopped: %1"), {text::replaceAll(subtype, "_", " ")});
}

std::string ClaudeStreamReader::details() const {
    if (!result_) return {};
    std::vector<std::string> parts;
    if (auto turns = result_->find("num_turns"); turns != result_->end() && turns->is_number_integer()) {
        const auto n = turns->get<long>();
        parts.push_back(tr::format(ngettext("%1 turn", "%1 turns", static_cast<unsigned long>(n)), {std::to_string(n)}));
    }
    char buffer[32];
    if (auto ms = result_->find("duration_ms"); ms != result_->end() && ms->is_number()) {
        std::snprintf(buffer, sizeof buffer, "%.1f s", ms->get<double>() / 1000.0);
        parts.push_back(buffer);
    }
    if (auto cost = result_->find("total_cost_usd"); cost != result_->end() && cost->is_number()) {
        std::snprintf(buffer, sizeof buffer, "$%.4f", cost->get<double>());
        parts.push_back(buffer);
    }
    return text::join(parts, " · ");
}

std::vector<std::string> ClaudeStreamReader::refusedEdits() const {
    std::vector<std::string> paths;
    if (!result_) return paths;
    auto denials = result_->find("permission_denials");
    if (denials == result_->end() || !denials->is_array()) return paths;
    for (const auto& denial : *denials) {
        if (!denial.is_object()) continue;
        const std::string tool = json::stringMember(denial, "tool_name").value_or("");
        const json::Json input = denial.contains("tool_input") && denial["tool_input"].is_object() ? denial["tool_input"] : json::Json::object();
        std::string path;
        if (tool == "Bash") {
            path = "";  // a command that would have written: no one file to name
        } else {
            path = agenttools::relativeToRoot(json::firstNonBlankString(input, {"file_path", "notebook_path", "path"}).value_or(""), root_);
        }
        if (std::find(paths.begin(), paths.end(), path) == paths.end()) paths.push_back(path);
    }
    return paths;
}

}  // namespace tarn
