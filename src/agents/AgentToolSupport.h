#pragma once
#include "agents/AgentRunResult.h"
#include "agents/AgentToolError.h"
#include "process/ShellCommandRunner.h"
#include "support/Json.h"
#include "support/Task.h"
#include "support/Url.h"

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
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

// Why a tool run failed, read from what it printed.
using FailureReason = std::function<std::string(const ShellCommandOutput&)>;
// The last non-blank line of standard error; else "Command failed with exit code N.".
std::string lastErrorLine(const ShellCommandOutput& output);

// Runs a tool in the project folder without blocking, in a guarded process group of its own that
// ends with the run (and with Tarn). A failure to start throws AgentToolError with the runner's
// description, a non-zero status with `reason` of the output; a cancelled run throws
// CancellationError.
Task<ShellCommandOutput> runTool(std::string tool, std::vector<std::string> arguments, Url folder,
                                 ShellCommandRunner::LineCallback onLine, FailureReason reason,
                                 std::optional<Cancellation> cancellation = std::nullopt, std::vector<std::string> writable = {});

// "NAME did not answer within N seconds (last message: ...)." (without the parenthesis when there
// was no message).
std::string limitMessage(const std::string& toolName, std::chrono::milliseconds limit, const std::string& lastMessage);

// Ends `cancellation` when `limit` passes, unless `done` is cancelled first. Sets `expired`.
void cancelAfter(std::chrono::milliseconds limit, Cancellation cancellation, Cancellation done,
                 std::shared_ptr<bool> expired);

// Like runTool, but the tool must answer within `limit`: otherwise its group is ended and the
// error says so, with the last message it printed (as `describe` gives it) when there was one:
// "Codex did not answer within 90 seconds (last message: ...).".
Task<ShellCommandOutput> runToolWithin(std::string tool, std::vector<std::string> arguments, Url folder,
                                       FailureReason reason, std::chrono::milliseconds limit, std::string toolName,
                                       std::function<std::optional<std::string>(const std::string&)> describe,
                                       std::optional<Cancellation> cancellation, std::vector<std::string> writable = {});

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

// Runs a request's tool like runTool; a stopped run throws AgentRunStopped with the files changed
// since `before` was listed.
Task<ShellCommandOutput> runRequestTool(std::string tool, std::vector<std::string> arguments, Url projectRoot,
                                        ShellCommandRunner::LineCallback onLine, FailureReason reason,
                                        std::optional<Cancellation> cancellation, std::vector<std::string> before,
                                        std::vector<std::string> writable = {});

// A request's result once its tool has answered: the files changed since `before` was listed, the
// answer's summary (`fallback` when it has none), and the answer kept in .tarn/`recordName`.
Task<AgentRunResult> resultOfRun(Url projectRoot, std::vector<std::string> before, std::string answer,
                                 std::string fallback, std::string recordName);

// A run's result with what the tool's output reader saw along the way: its steps, plan, details
// and the edits its permissions refused.
template <typename Reader>
AgentRunResult withWhatTheToolDid(AgentRunResult result, const Reader& reader) {
    result.steps = reader.steps();
    result.plan = reader.plan();
    result.details = reader.details();
    result.refusedEdits = reader.refusedEdits();
    result.thoughts = reader.thoughts();
    return result;
}

// Adds a piece of the agent's thinking to what is kept of it: a paragraph of its own unless it
// continues a chunk, and only the last 64 KiB of a long run, cut at a character.
void keepThought(std::string& thoughts, const std::string& more, bool chunk = false);

// The first piece of the answer that is not blank, untrimmed; `fallback` when there is none.
std::string summaryOf(const std::string& answer, const std::string& fallback);

// Writes `text` to .tarn/`fileName` in the project, creating .tarn when missing.
std::filesystem::path writeTarnFile(const Url& projectRoot, const std::string& fileName, const std::string& text);

// `path` as the project names it: relative to `root` when it lies inside, else as it is.
std::string relativeToRoot(const std::string& path, const std::string& root);

std::string stripCodeFences(const std::string& text);
std::optional<json::Json> parseJSONObject(const std::string& text);
std::optional<std::string> extractResultText(const json::Json& object);

// The request prompt: the tool's first line, the plan-mode line, the closing instructions, the request.
std::string buildRequestPrompt(const std::string& firstLine, const std::string& request, bool planMode);

// Where a tool writes its answer (Codex's `-o`): a file in a fresh private folder of the temporary
// folder, which a sandboxed tool is given to write in; removed, folder and all, with this.
class AnswerFile {
public:
    explicit AnswerFile(const std::string& kind);
    ~AnswerFile();
    AnswerFile(const AnswerFile&) = delete;
    AnswerFile& operator=(const AnswerFile&) = delete;
    const std::string& path() const { return path_; }
    const std::string& folder() const { return folder_; }

private:
    std::string folder_, path_;
};

}  // namespace tarn::agenttools
