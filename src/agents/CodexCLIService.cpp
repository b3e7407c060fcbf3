#include "agents/CodexCLIService.h"
#include "support/Translate.h"

#include "agents/AgentToolSupport.h"
#include "agents/CodexEventReader.h"
#include "agents/StartupPlanning.h"
#include "process/ShellCommandRunner.h"
#include "support/Files.h"
#include "support/Regex.h"
#include "support/Text.h"

#include <filesystem>
#include <glib.h>
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
    if (text::trim(answer).empty()) throw AgentToolError(_(CodexCLIService::outputMissing));
    return answer;
}

// What a planner that never answers said last: the last line it printed.
std::optional<std::string> lastWords(const std::string& line) {
    std::string trimmed = text::trim(line);
    if (trimmed.empty() || trimmed.front() == '{') return std::nullopt;
    return trimmed;
}

}  // namespace

std::optional<std::string> CodexCLIService::locateTool() { return agenttools::locateTool("codex"); }

std::optional<std::string> CodexCLIService::modelFromConfig(const std::string& toml) {
    for (const auto& raw : text::splitLines(toml)) {
        const std::string line = text::trim(raw);
        if (text::startsWith(line, "[")) break;  // a table: what follows is not the top level
        if (!text::startsWith(line, "model") || line.find('=') == std::string::npos) continue;
        if (text::trim(line.substr(0, line.find('='))) != "model") continue;
        std::string value = text::trim(line.substr(line.find('=') + 1));
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'')) {
            const auto close = value.find(value.front(), 1);
            if (close != std::string::npos && close > 1) return value.substr(1, close - 1);
        }
        return std::nullopt;
    }
    return std::nullopt;
}

std::optional<std::string> CodexCLIService::configuredModel() {
    const char* home = g_getenv("CODEX_HOME");
    const std::filesystem::path folder = home && *home ? std::filesystem::path(home) : std::filesystem::path(g_get_home_dir()) / ".codex";
    try {
        return modelFromConfig(files::readFile(folder / "config.toml", 1024 * 1024));
    } catch (const std::exception&) {
        return std::nullopt;  // no configuration: the tool's own default, which it does not name
    }
}

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

Task<AgentRunResult> CodexCLIService::runRequest(AgentPrompt request, Url projectRoot, bool planMode,
                                                 AgentRunFeedback feedback, std::optional<Cancellation> cancellation) const {
    auto tool = locateTool();
    if (!tool) throw AgentToolError(_(notInstalled));
    auto listing = agenttools::changedFilesOrNone(projectRoot);
    auto before = co_await listing;
    const agenttools::AnswerFile answer("feature");
    const std::string& answerPath = answer.path();

    // Plan Mode runs in the tool's read-only sandbox: a write is refused whatever the model asks.
    std::vector<std::string> access{"--sandbox", "read-only"};
    if (!planMode) {
        auto probe = autonomyArguments(*tool);
        access = co_await probe;
    }
    std::vector<std::string> arguments{"exec", "--json"};
    arguments.insert(arguments.end(), access.begin(), access.end());
    for (std::string a : {"--skip-git-repo-check", "--cd"}) arguments.push_back(a);
    arguments.push_back(projectRoot.path());
    arguments.push_back("-o");
    arguments.push_back(answerPath);
    arguments.push_back(buildPrompt(request.text, planMode));

    auto reader = std::make_shared<CodexEventReader>(projectRoot.path(), feedback);
    auto onLine = [reader](const std::string& line) { reader->read(line); };
    auto run = agenttools::runRequestTool(*tool, std::move(arguments), projectRoot, std::move(onLine), failureReason,
                                          cancellation, before, {answer.folder()});
    co_await run;
    if (auto failure = reader->failure()) throw AgentToolError(*failure);
    auto result = agenttools::resultOfRun(projectRoot, std::move(before), readAnswer(answerPath), _("Codex finished."),
                                          "last-codex-output.md");
    co_return agenttools::withWhatTheToolDid(co_await result, *reader);
}

Task<AgentBootstrapPlan> CodexCLIService::proposeStartupPlan(ProjectContext context, std::chrono::milliseconds limit,
                                                             std::optional<Cancellation> cancellation) const {
    auto tool = locateTool();
    if (!tool) throw AgentToolError(_(notInstalled));
    std::string prompt = startup::buildPlannerPrompt(context, startup::Planner::codex);
    const agenttools::AnswerFile answer("bootstrap");
    const std::string& answerPath = answer.path();

    // Planning reads the project and changes nothing in it: the tool's read-only sandbox.
    std::vector<std::string> arguments{"exec", "--sandbox", "read-only"};
    for (std::string a : {"--skip-git-repo-check", "--cd"}) arguments.push_back(a);
    arguments.push_back(context.rootURL.path());
    arguments.push_back("-o");
    arguments.push_back(answerPath);
    arguments.push_back(std::move(prompt));
    auto run = agenttools::runToolWithin(*tool, std::move(arguments), context.rootURL, failureReason,
                                                        limit, "Codex", lastWords, cancellation, {answer.folder()});
    co_await run;

    auto plan = startup::parsePlanText(readAnswer(answerPath));
    if (!plan) throw AgentToolError(_(invalidBootstrapResponse));
    plan->planner = "Codex CLI";
    co_return *plan;
}

}  // namespace tarn
