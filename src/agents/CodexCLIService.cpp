#include "agents/CodexCLIService.h"
#include "support/Translate.h"

#include "agents/AgentToolSupport.h"
#include "agents/StartupPlanning.h"
#include "process/ShellCommandRunner.h"
#include "support/Files.h"
#include "support/Regex.h"
#include "support/Text.h"

#include <filesystem>
#include <map>
#include <sys/stat.h>

namespace tarn {

namespace {

// The tool's final message from its answer file. The file is removed once read: nothing reads it
// later, and the temporary folder should not fill up with them.
std::string readAnswer(const std::string& path) {
    std::string answer;
    try {
        answer = text::decodeUtf8Lossy(files::readFile(path, 64 * 1024 * 1024));
    } catch (const std::exception&) {
        throw AgentToolError(_(CodexCLIService::outputMissing));
    }
    std::error_code ec;
    std::filesystem::remove(path, ec);
    if (text::trim(answer).empty()) throw AgentToolError(_(CodexCLIService::outputMissing));
    return answer;
}

// As a file URL names it: "/" for the root, the last name otherwise, trailing slashes ignored.
std::string lastPathComponent(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    if (path == "/") return path;
    return std::filesystem::path(path).filename().string();
}

// What a planner that never answers said last: its progress, or any other line it printed.
std::optional<std::string> lastWords(const std::string& line) {
    if (auto progress = CodexCLIService::progressText(line)) return progress;
    std::string trimmed = text::trim(line);
    if (trimmed.empty() || trimmed.front() == '{') return std::nullopt;
    return trimmed;
}

}  // namespace

std::optional<std::string> CodexCLIService::locateTool() { return agenttools::locateTool("codex"); }

std::optional<std::string> CodexCLIService::detectVersion() const { return agenttools::detectVersion("codex"); }

std::string CodexCLIService::buildPrompt(const std::string& request, bool planMode) {
    return agenttools::buildRequestPrompt("You are Codex running from a GUI IDE.\n", request, planMode);
}

std::vector<std::string> CodexCLIService::autonomyArgumentsFromHelp(const std::string& helpText) {
    // Only as an option of the list ("      --full-auto   ..." or "  -x, --full-auto"), not a mention.
    static const auto option = Regex::compile(R"(^\s+(?:-[A-Za-z0-9],\s+)?--full-auto(?:\s.*)?$)");
    for (const auto& line : text::splitLines(helpText)) {
        if (option->matchesWhole(line)) return {"--full-auto"};
    }
    return {"--sandbox", "workspace-write"};
}

Task<std::vector<std::string>> CodexCLIService::autonomyArguments(std::string tool) {
    struct stat info {};
    std::string key = tool;
    if (::stat(tool.c_str(), &info) == 0) key += "@" + std::to_string(info.st_mtim.tv_sec) + "." + std::to_string(info.st_mtim.tv_nsec);
    static std::map<std::string, std::vector<std::string>> known;  // main thread only
    if (auto it = known.find(key); it != known.end()) co_return it->second;
    std::vector<std::string> arguments;
    try {
        auto help = ShellCommandRunner::run(std::move(tool), {std::string("exec"), std::string("--help")});
        ShellCommandOutput output = co_await help;
        arguments = autonomyArgumentsFromHelp(output.stdout + output.stderr);
    } catch (const std::exception&) {
        // Today's releases take the sandbox option and refuse the old flag. Not remembered: the
        // next run asks again.
        co_return std::vector<std::string>{"--sandbox", "workspace-write"};
    }
    known[key] = arguments;
    co_return arguments;
}

std::string CodexCLIService::failureReason(const ShellCommandOutput& output) {
    auto lines = text::splitLines(output.stdout);
    for (auto it = lines.rbegin(); it != lines.rend(); ++it) {
        auto event = json::parseObject(text::trim(*it));
        if (!event) continue;
        auto type = text::toLower(json::stringMember(*event, "type").value_or(""));
        if (type == "error") {
            if (auto message = json::firstNonBlankString(*event, {"message"})) return *message;
        }
        if (type == "turn.failed") {
            if (auto error = event->find("error"); error != event->end() && error->is_object()) {
                if (auto message = json::firstNonBlankString(*error, {"message", "summary", "text"})) return *message;
            }
        }
    }
    return agenttools::lastErrorLine(output);
}

Task<AgentRunResult> CodexCLIService::runRequest(std::string request, Url projectRoot, bool planMode,
                                                 AgentRunFeedback feedback, std::optional<Cancellation> cancellation) const {
    auto tool = locateTool();
    if (!tool) throw AgentToolError(_(notInstalled));
    auto listing = agenttools::changedFilesOrNone(projectRoot);
    auto before = co_await listing;
    const std::string answerPath = agenttools::temporaryAnswerPath("feature");

    auto probe = autonomyArguments(*tool);
    std::vector<std::string> autonomy = co_await probe;
    std::vector<std::string> arguments{"exec", "--json"};
    arguments.insert(arguments.end(), autonomy.begin(), autonomy.end());
    for (std::string a : {"--skip-git-repo-check", "--cd"}) arguments.push_back(a);
    arguments.push_back(projectRoot.path());
    arguments.push_back("-o");
    arguments.push_back(answerPath);
    arguments.push_back(buildPrompt(request, planMode));

    auto onLine = [feedback](const std::string& line) {
        if (auto progress = progressText(line)) {
            if (feedback.progress) feedback.progress(*progress);
        } else if (feedback.log && !text::startsWith(text::trim(line), "{")) {
            feedback.log(line);
        }
    };
    try {
        auto run = agenttools::runRequestTool(*tool, std::move(arguments), projectRoot, std::move(onLine),
                                                             failureReason, cancellation, before);
        co_await run;
    } catch (const AgentRunStopped&) {
        std::error_code ec;
        std::filesystem::remove(answerPath, ec);
        throw;
    }

    std::string answer = readAnswer(answerPath);
    co_return co_await agenttools::resultOfRun(projectRoot, std::move(before), std::move(answer), _("Codex finished."),

                                               "last-codex-output.md");
}

Task<AgentBootstrapPlan> CodexCLIService::proposeStartupPlan(ProjectContext context, std::chrono::milliseconds limit,
                                                             std::optional<Cancellation> cancellation) const {
    auto tool = locateTool();
    if (!tool) throw AgentToolError(_(notInstalled));
    std::string prompt = startup::buildPlannerPrompt(context, startup::Planner::codex);
    const std::string answerPath = agenttools::temporaryAnswerPath("bootstrap");

    auto probe = autonomyArguments(*tool);
    std::vector<std::string> autonomy = co_await probe;
    std::vector<std::string> arguments{"exec"};
    arguments.insert(arguments.end(), autonomy.begin(), autonomy.end());
    for (std::string a : {"--skip-git-repo-check", "--cd"}) arguments.push_back(a);
    arguments.push_back(context.rootURL.path());
    arguments.push_back("-o");
    arguments.push_back(answerPath);
    arguments.push_back(std::move(prompt));
    auto run = agenttools::runToolWithin(*tool, std::move(arguments), context.rootURL, failureReason,
                                                        limit, "Codex", lastWords, cancellation);
    co_await run;

    auto plan = startup::parsePlanText(readAnswer(answerPath));
    if (!plan) throw AgentToolError(_(invalidBootstrapResponse));
    plan->planner = "Codex CLI";
    co_return *plan;
}

std::optional<std::string> CodexCLIService::describeItem(const json::Json& event) {
    const json::Json& subject = event.contains("item") && event["item"].is_object() ? event["item"] : event;
    if (auto command = json::firstNonBlankString(subject, {"command", "cmd", "shell_command"})) {
        return tr::format(_("command %1"), {*command});
    }
    if (auto path = json::firstNonBlankString(subject, {"path", "file", "filepath", "file_path"})) {
        std::string component = lastPathComponent(*path);
        return component.empty() ? std::string(_("file update")) : tr::format(_("file %1"), {component});
    }
    if (auto name = json::firstNonBlankString(subject, {"name", "title", "description", "tool_name"})) return name;
    if (auto kind = json::firstNonBlankString(subject, {"type", "kind"})) {
        std::string lower = text::toLower(*kind);
        if (text::contains(lower, "command")) return std::string(_("a command"));
        if (text::contains(lower, "file")) return std::string(_("a file change"));
        if (text::contains(lower, "plan")) return std::string(_("the implementation plan"));
        return kind;
    }
    return std::nullopt;
}

std::optional<std::string> CodexCLIService::progressText(const std::string& line) {
    std::string trimmed = text::trim(line);
    if (trimmed.empty()) return std::nullopt;

    std::optional<json::Json> event;
    if (trimmed.front() == '{') event = json::parseObject(trimmed);
    if (!event) {
        std::string plain = text::replaceAll(trimmed, "\t", " ");
        if (!text::contains(text::toLower(plain), "error")) return std::nullopt;
        return plain;
    }

    auto type = json::stringMember(*event, "type");
    if (event->empty() || !type) return std::string(_("Working..."));
    const std::string kind = text::toLower(*type);
    if (kind == "thread.started") return std::string(_("Session started."));
    if (kind == "turn.started") return std::string(_("Understanding your request..."));
    if (kind == "turn.completed") return std::string(_("Wrapping up response..."));
    if (kind == "turn.failed") {
        if (auto error = event->find("error"); error != event->end() && error->is_object()) {
            if (auto message = json::firstNonBlankString(*error, {"message", "summary", "text"})) return message;
        }
        return std::string(_("Codex run failed."));
    }
    if (kind == "item.started" || kind == "item.completed") {
        // An error item carries the reason: show it, not the item's kind.
        if (auto item = event->find("item"); item != event->end() && item->is_object() &&
                                             text::toLower(json::stringMember(*item, "type").value_or("")) == "error") {
            if (auto message = json::firstNonBlankString(*item, {"message", "text"})) return message;
        }
    }
    if (kind == "item.started") {
        auto item = describeItem(*event);
        return item ? tr::format(_("Working on %1."), {*item}) : std::string(_("Working on project files..."));
    }
    if (kind == "item.completed") {
        auto item = describeItem(*event);
        return item ? tr::format(_("Completed %1."), {*item}) : std::string(_("Step complete."));
    }

    if (auto other = json::firstNonBlankString(*event, {"message", "status", "summary", "title", "text"})) return other;
    if (text::contains(kind, "error")) return std::string(_("Codex reported an error."));
    if (text::contains(kind, "tool") || text::contains(kind, "command")) return std::string(_("Running project commands..."));
    if (text::contains(kind, "plan")) return std::string(_("Planning implementation..."));
    if (text::contains(kind, "delta") || text::contains(kind, "token")) return std::nullopt;
    if (text::contains(kind, "response") || text::contains(kind, "output")) return std::string(_("Generating update..."));
    return std::string(_("Working..."));
}

}  // namespace tarn
