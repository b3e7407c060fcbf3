#include "agents/CodexEventReader.h"
#include "support/Translate.h"

#include "agents/AgentToolSupport.h"
#include "support/Text.h"

namespace tarn {

namespace {

// "/bin/bash -lc 'npm test'" is how Codex runs "npm test": the command is what the user reads.
std::string shownCommand(std::string command) {
    for (std::string_view shell : {"/bin/bash -lc ", "bash -lc ", "/bin/sh -c ", "sh -c ", "/bin/zsh -lc ", "zsh -lc "}) {
        if (text::startsWith(command, shell)) {
            command = command.substr(shell.size());
            if (command.size() >= 2 && (command.front() == '\'' || command.front() == '"') && command.back() == command.front()) {
                command = command.substr(1, command.size() - 2);
            }
            break;
        }
    }
    return text::firstLine(command, 80);
}

AgentStep::Status statusOf(const json::Json& item, bool completed) {
    const std::string status = json::stringMember(item, "status").value_or("");
    if (status == "failed" || status == "declined") return AgentStep::Status::failed;
    if (auto code = item.find("exit_code"); code != item.end() && code->is_number_integer() && code->get<int>() != 0) {
        return AgentStep::Status::failed;
    }
    return completed || status == "completed" ? AgentStep::Status::done : AgentStep::Status::running;
}

}  // namespace

CodexEventReader::CodexEventReader(std::string projectRoot, AgentRunFeedback feedback)
    : root_(std::move(projectRoot)), feedback_(std::move(feedback)) {}

void CodexEventReader::read(const std::string& line) {
    const std::string trimmed = text::trim(line);
    if (trimmed.empty()) return;
    std::optional<json::Json> event;
    if (trimmed.front() == '{') event = json::parseObject(trimmed);
    if (!event) {
        // Its read-only sandbox says so on standard error, and only there.
        if (text::contains(trimmed, "patch rejected") && text::contains(trimmed, "read-only")) refused_.push_back("");
        if (feedback_.log) feedback_.log(trimmed);
        return;
    }
    const std::string type = text::toLower(json::stringMember(*event, "type").value_or(""));
    if (type == "item.started" || type == "item.updated" || type == "item.completed") {
        if (auto item = event->find("item"); item != event->end() && item->is_object()) readItem(*item, type == "item.completed");
    } else if (type == "turn.completed") {
        if (auto usage = event->find("usage"); usage != event->end() && usage->is_object()) {
            auto count = [&](const char* key) {
                auto v = usage->find(key);
                return v != usage->end() && v->is_number_integer() ? std::to_string(v->get<long>()) : std::string("0");
            };
            details_ = tr::format(_("Tokens: %1 in, %2 out"), {count("input_tokens"), count("output_tokens")});
        }
    } else if (type == "turn.failed") {
        if (auto error = event->find("error"); error != event->end() && error->is_object()) {
            failure_ = json::firstNonBlankString(*error, {"message", "summary", "text"});
        }
        if (!failure_) failure_ = lastError_.empty() ? std::string(_("Codex run failed.")) : lastError_;
    } else if (type == "error") {
        // Often passing ("Reconnecting... 2/5"): the turn's end says whether it failed.
        if (auto message = json::firstNonBlankString(*event, {"message"})) {
            lastError_ = *message;
            if (feedback_.log) feedback_.log(*message);
        }
    }
}

void CodexEventReader::readItem(const json::Json& item, bool completed) {
    const std::string type = json::stringMember(item, "type").value_or("");
    if (type == "agent_message" || type == "reasoning") {
        if (completed && feedback_.progress) {
            if (auto words = json::firstNonBlankString(item, {"text"})) feedback_.progress(*words);
        }
        if (completed && type == "reasoning") {
            if (auto words = json::firstNonBlankString(item, {"text"})) agenttools::keepThought(thoughts_, *words);
        }
        return;
    }
    if (type == "todo_list") {
        plan_.clear();
        if (auto items = item.find("items"); items != item.end() && items->is_array()) {
            for (const auto& entry : *items) {
                if (!entry.is_object()) continue;
                AgentPlanStep step;
                step.title = json::firstNonBlankString(entry, {"text", "step"}).value_or("");
                step.completed = entry.contains("completed") && entry["completed"].is_boolean() && entry["completed"].get<bool>();
                if (!step.title.empty()) plan_.push_back(std::move(step));
            }
        }
        if (feedback_.plan) feedback_.plan(plan_);
        return;
    }
    if (type == "error") {
        if (auto message = json::firstNonBlankString(item, {"message", "text"}); message && feedback_.log) feedback_.log(*message);
        return;
    }
    auto step = stepFor(item, root_);
    if (!step) return;
    step->status = statusOf(item, completed);
    step->id = json::stringMember(item, "id").value_or(std::to_string(steps_.size()));
    if (auto it = stepOf_.find(step->id); it != stepOf_.end()) {
        if (steps_[it->second] == *step) return;
        steps_[it->second] = *step;
    } else {
        stepOf_[step->id] = steps_.size();
        steps_.push_back(*step);
    }
    if (feedback_.step) feedback_.step(*step);
}

std::optional<AgentStep> CodexEventReader::stepFor(const json::Json& item, const std::string& root) {
    const std::string type = json::stringMember(item, "type").value_or("");
    AgentStep step;
    if (type == "command_execution") {
        step.kind = AgentStep::Kind::run;
        step.title = tr::format(_("Running %1"), {shownCommand(json::stringMember(item, "command").value_or(""))});
    } else if (type == "file_change") {
        std::vector<std::string> paths;
        std::string kind;
        if (auto changes = item.find("changes"); changes != item.end() && changes->is_array()) {
            for (const auto& change : *changes) {
                if (!change.is_object()) continue;
                paths.push_back(agenttools::relativeToRoot(json::stringMember(change, "path").value_or(""), root));
                kind = json::stringMember(change, "kind").value_or("");
            }
        }
        step.kind = AgentStep::Kind::edit;
        const std::string files = paths.empty() ? std::string(_("files")) : text::join(paths, ", ");
        if (paths.size() == 1 && kind == "add") step.title = tr::format(_("Creating %1"), {files});
        else if (paths.size() == 1 && kind == "delete") step.title = tr::format(_("Deleting %1"), {files});
        else step.title = tr::format(_("Editing %1"), {files});
    } else if (type == "web_search") {
        step.kind = AgentStep::Kind::web;
        step.title = tr::format(_("Searching the web for “%1”"), {json::stringMember(item, "query").value_or("")});
    } else if (type == "mcp_tool_call") {
        step.kind = AgentStep::Kind::other;
        step.title = tr::format(_("Using %1"), {json::stringMember(item, "server").value_or("") + " · " +
                                                json::stringMember(item, "tool").value_or("")});
    } else {
        return std::nullopt;
    }
    return step;
}

}  // namespace tarn
