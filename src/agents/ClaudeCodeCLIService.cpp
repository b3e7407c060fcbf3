#include "agents/ClaudeCodeCLIService.h"
#include "support/Translate.h"

#include "agents/AgentToolSupport.h"
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

Task<AgentRunResult> ClaudeCodeCLIService::runRequest(std::string request, Url projectRoot, bool planMode,
                                                      AgentRunFeedback feedback, std::optional<Cancellation> cancellation) const {
    auto tool = locateTool();
    if (!tool) throw AgentToolError(_(notInstalled));
    if (feedback.progress) feedback.progress(_("Sending request to Claude Code..."));
    auto listing = agenttools::changedFilesOrNone(projectRoot);
    auto before = co_await listing;

    std::vector<std::string> arguments{"-p", buildPrompt(request, planMode), "--output-format", "json",
                                       "--dangerously-skip-permissions"};
    // Its answer is one JSON object at the end; anything else it prints is for the log.
    ShellCommandRunner::LineCallback onLine;
    if (feedback.log) {
        onLine = [log = feedback.log](const std::string& line) {
            if (!text::startsWith(text::trim(line), "{")) log(line);
        };
    }
    auto run = agenttools::runRequestTool(*tool, std::move(arguments), projectRoot, std::move(onLine),
                                                              failureReason, cancellation, before);
    ShellCommandOutput output = co_await run;
    if (feedback.progress) feedback.progress(_("Claude Code response received."));

    std::string raw = answerText(output);
    auto object = agenttools::parseJSONObject(raw);
    if (!object) throw AgentToolError(_(outputMissing));
    std::string answer = agenttools::extractResultText(*object).value_or(raw);
    if (answer.empty()) throw AgentToolError(_(outputMissing));

    co_return co_await agenttools::resultOfRun(projectRoot, std::move(before), std::move(answer), _("Claude Code finished."),

                                               "last-claude-output.md");
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
                                       "--dangerously-skip-permissions"};
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
