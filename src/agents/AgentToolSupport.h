#pragma once
#include "process/ShellCommandRunner.h"
#include "support/Json.h"
#include "support/Task.h"
#include "support/Url.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

// Routines both agent tool services and start-up planning share.
namespace tarn::agenttools {

// Runs a tool synchronously (no working folder, augmented environment) to its end.
struct ProcessResult {
    std::string stdoutText;
    std::string stderrText;
    int status = 0;
};
ProcessResult runProcess(const std::string& executable, const std::vector<std::string>& arguments);

// Runs a tool to its end; a non-zero status throws `Error::executionFailed` with the tool's
// standard error, or its standard output when that is empty.
template <typename Error>
std::string runProcessOrThrow(const std::string& executable, const std::vector<std::string>& arguments) {
    auto result = runProcess(executable, arguments);
    if (result.status == 0) return result.stdoutText;
    throw Error::executionFailed(result.stderrText.empty() ? result.stdoutText : result.stderrText);
}

// Runs a tool in the project folder without blocking; a failure to start or a non-zero status
// throws `Error::executionFailed` with the runner's description.
template <typename Error>
Task<ShellCommandOutput> runTool(std::string tool, std::vector<std::string> arguments, Url folder,
                                 ShellCommandRunner::LineCallback onLine = nullptr) {
    try {
        auto run = ShellCommandRunner::runStreaming(std::move(tool), std::move(arguments), std::move(folder),
                                                    std::move(onLine));
        co_return co_await run;
    } catch (const ShellCommandError& e) {
        throw Error::executionFailed(e.what());
    }
}

// The tool on the search path or in the fixed tool folders; searched afresh on every call.
std::optional<std::string> locateTool(const std::string& name);
// The tool's trimmed `--version` output; nothing when it is missing or the probe fails.
std::optional<std::string> detectVersion(const std::string& name);

// The paths `git status --porcelain` reports as changed in the working copy, in output order.
Task<std::vector<std::string>> gitChangedFiles(Url projectRoot);
std::vector<std::string> parsePorcelain(const std::string& output);
// The listing after a run, or the one before when git failed; deduplicated and sorted.
Task<std::vector<std::string>> touchedFilesAfterRun(Url projectRoot, std::vector<std::string> before);
// The listing, or an empty one when git fails.
Task<std::vector<std::string>> changedFilesOrNone(Url projectRoot);

// The first piece of the answer that is not blank, untrimmed; `fallback` when there is none.
std::string summaryOf(const std::string& answer, const std::string& fallback);

// Writes `text` to .tarn/`fileName` in the project, creating .tarn when missing.
std::filesystem::path writeTarnFile(const Url& projectRoot, const std::string& fileName, const std::string& text);

std::string stripCodeFences(const std::string& text);
std::optional<json::Json> parseJSONObject(const std::string& text);
std::optional<std::string> extractResultText(const json::Json& object);

// The request prompt: the tool's first line, the plan-mode line, the closing instructions, the request.
std::string buildRequestPrompt(const std::string& firstLine, const std::string& request, bool planMode);

// A fresh path in the temporary folder for the Codex answer file of `kind`.
std::string temporaryAnswerPath(const std::string& kind);

}  // namespace tarn::agenttools
