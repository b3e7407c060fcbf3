#include "agents/ClaudeCodeCLIService.h"
#include "support/Translate.h"

#include "agents/AgentToolSupport.h"
#include "agents/ClaudeStreamReader.h"
#include "agents/StartupPlanning.h"
#include "process/ShellCommandRunner.h"
#include "support/Text.h"

namespace tarn {

std::optional<std::string> ClaudeCodeCLIService::locateTool() { return agenttools::locateTool("claude"); }

std::optional<std::string> ClaudeCodeCLIService::detectVersion() const { return agenttools::detectVersion("claude"); }

std::string ClaudeCodeCLIService::buildPrompt(const std::string& request, bool planMode) {
    return agenttools::buildRequestPrompt("You are Claude Code running from a GUI IDE.\n", request, planMode);
}

namespace {

// The tool's answer text: standard output, or standard error when that is blank.
std::string answerText(const ShellCommandOutput& output) {
    std::string text = text::trim(output.stdout);
    return text.empty() ? text::trim(output.stderr) : text;
}

}  // namespace

std::string ClaudeCodeCLIService::failureReason(const ShellCommandOutput& output) {
    if (auto object = agenttools::parseJSONObject(output.stdout)) {
        if (auto result = json::firstNonBlankString(*object, {"result", "error", "message"})) return *result;
    }
    return agenttools::lastErrorLine(output);
}

std::vector<std::string> ClaudeCodeCLIService::requestArguments(const std::string& request, bool planMode) {
    std::vector<std::string> arguments{"-p", buildPrompt(request, planMode), "--output-format", "stream-json", "--verbose"};
    // Plan Mode is the tool's own: its plan permissions refuse every edit and every command that
    // would change something, whatever the model answers.
    if (planMode) {
        arguments.insert(arguments.end(), {"--permission-mode", "plan"});
    } else {
        arguments.push_back("--dangerously-skip-permissions");
    }
    return arguments;
}

Task<AgentRunResult> ClaudeCodeCLIService::runRequest(AgentPrompt request, Url projectRoot, bool planMode,
                                                      AgentRunFeedback feedback, std::optional<Cancellation> cancellation) const {
    auto tool = locateTool();
    if (!tool) throw AgentToolError(_(notInstalled));
    auto listing = agenttools::changedFilesOrNone(projectRoot);
    auto before = co_await listing;

    // Read as it comes: each line is a step, words, or the result.
    auto reader = std::make_shared<ClaudeStreamReader>(projectRoot.path(), feedback);
    auto onLine = [reader](const std::string& line) { reader->read(line); };
    auto run = agenttools::runRequestTool(*tool, requestArguments(request.text, planMode), projectRoot, std::move(onLine),
                                          failureReason, cancellation, before);
    ShellCommandOutput output = co_await run;
    if (auto failure = reader->failure()) throw AgentToolError(*failure);

    std::optional<std::string> answer = reader->answer();
    if (!answer) {
        // A release that prints one JSON object at the end, as older ones did.
        std::string raw = answerText(output);
        auto object = agenttools::parseJSONObject(raw);
        if (!object) throw AgentToolError(_(outputMissing));
        answer = agenttools::extractResultText(*object).value_or(raw);
    }
    if (answer->empty()) throw AgentToolError(_(outputMissing));

    auto result = agenttools::resultOfRun(projectRoot, std::move(before), std::move(*answer), _("Claude Code finished."),
                                          "last-claude-output.md");
    co_return agenttools::withWhatTheToolDid(co_await result, *reader);
}

Task<AgentBootstrapPlan> ClaudeCodeCLIService::proposeStartupPlan(ProjectContext context, std::chrono::milliseconds limit,
                                                                  std::optional<Cancellation> cancellation) const {
    auto tool = locateTool();
    if (!tool) throw AgentToolError(_(notInstalled));
    std::vector<std::string> arguments{"-p",
                                       startup::buildPlannerPrompt(context, startup::Planner::claudeCode),
                                       "--output-format",
                                       "json",
                                       "--json-schema",
                                       startup::claudePlanSchema(),
                                       // Planning reads the project and changes nothing in it.
                                       "--permission-mode",
                                       "plan"};
    auto lastLine = [](const std::string& line) -> std::optional<std::string> { return text::trim(line); };
    auto run = agenttools::runToolWithin(*tool, std::move(arguments), context.rootURL,
                                                             failureReason, limit, "Claude Code", lastLine, cancellation);
    ShellCommandOutput output = co_await run;
    std::string text = answerText(output);
    if (text.empty()) throw AgentToolError(_(outputMissing));
    auto plan = startup::parseBootstrapOutput(text);
    if (!plan) throw AgentToolError(_(invalidBootstrapResponse));
    plan->planner = "Claude Code CLI";
    co_return *plan;
}

}  // namespace tarn
