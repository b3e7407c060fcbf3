#include "agents/AgentToolSupport.h"

#include "agents/AgentTexts.h"
#include "support/Translate.h"

#include "process/ProcessEnvironment.h"
#include "process/Sandbox.h"
#include "process/ShellCommandRunner.h"
#include "support/Files.h"
#include "support/Regex.h"
#include "support/Subprocess.h"
#include "support/Text.h"
#include "support/Uuid.h"

#include <algorithm>
#include <glib.h>

namespace tarn::agenttools {

ProcessResult runProcess(const std::string& executable, const std::vector<std::string>& arguments) {
    ChildOptions options;
    options.arguments.push_back(executable);
    options.arguments.insert(options.arguments.end(), arguments.begin(), arguments.end());
    options.environment = ProcessEnvironment::augmentedEnvironment();
    CollectedOutput out = runToEnd(options);  // throws the platform's launch error
    return {text::decodeUtf8Lossy(out.stdoutBytes), text::decodeUtf8Lossy(out.stderrBytes), out.status};
}

std::optional<std::string> locateTool(const std::string& name) {
    return ProcessEnvironment::resolveExecutable(name, ProcessEnvironment::fixedToolPaths(name));
}

std::optional<std::string> detectVersion(const std::string& name) {
    auto tool = locateTool(name);
    if (!tool) return std::nullopt;
    try {
        auto result = runProcess(*tool, {"--version"});
        if (result.status != 0) return std::nullopt;
        return text::trim(result.stdoutText);
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

std::string lastErrorLine(const ShellCommandOutput& output) {
    auto lines = text::splitLines(output.stderr);
    for (auto it = lines.rbegin(); it != lines.rend(); ++it) {
        if (auto line = text::trim(*it); !line.empty()) return line;
    }
    return tr::format(_("Command failed with exit code %1."), {std::to_string(output.exitCode)});
}

namespace {
Task<void> expireAfter(std::chrono::milliseconds limit, Cancellation cancellation, Cancellation done,
                       std::shared_ptr<bool> expired) {
    try {
        co_await sleepFor(limit, done);
    } catch (const CancellationError&) {
        co_return;  // the run ended first
    }
    *expired = true;
    cancellation.cancel();
}
}  // namespace

void cancelAfter(std::chrono::milliseconds limit, Cancellation cancellation, Cancellation done,
                 std::shared_ptr<bool> expired) {
    spawn(expireAfter(limit, std::move(cancellation), std::move(done), std::move(expired)));
}

Task<ShellCommandOutput> runTool(std::string tool, std::vector<std::string> arguments, Url folder,
                                 ShellCommandRunner::LineCallback onLine, FailureReason reason,
                                 std::optional<Cancellation> cancellation, std::vector<std::string> writable) {
    std::optional<std::string> failure;
    const bool sandboxed = sandbox::agentToolsWanted();
    const std::string root = folder.path();
    if (sandboxed) {
        std::vector<std::string> command{tool};
        command.insert(command.end(), arguments.begin(), arguments.end());
        command = sandbox::wrapAgentTool(command, root, ProcessEnvironment::augmentedEnvironment(), writable);
        tool = command.front();
        arguments.assign(command.begin() + 1, command.end());
    }
    try {
        auto run = ShellCommandRunner::runStreaming(std::move(tool), std::move(arguments), std::move(folder),
                                                    std::move(onLine),
                                                    RunControl{.ownProcessGroup = true, .cancellation = cancellation});
        co_return co_await run;
    } catch (const ShellCommandError& e) {
        failure = e.kind() == ShellCommandError::Kind::nonZeroExit ? reason(e.output()) : std::string(e.what());
        if (sandboxed) {
            if (auto hint = sandbox::explainAgentTool(*failure + "\n" + e.output().stderr, root,
                                                      ProcessEnvironment::augmentedEnvironment())) {
                *failure += "\n\n" + *hint;
            }
        }
    }
    throw AgentToolError(*failure);
}

Task<ShellCommandOutput> runToolWithin(std::string tool, std::vector<std::string> arguments, Url folder,
                                       FailureReason reason, std::chrono::milliseconds limit, std::string toolName,
                                       std::function<std::optional<std::string>(const std::string&)> describe,
                                       std::optional<Cancellation> cancellation, std::vector<std::string> writable) {
    Cancellation stop, done;
    auto expired = std::make_shared<bool>(false);
    int watch = cancellation ? cancellation->watch([stop] { stop.cancel(); }) : -1;
    done.watch([cancellation, watch] {
        if (cancellation && watch >= 0) cancellation->unwatch(watch);
    });
    cancelAfter(limit, stop, done, expired);
    auto last = std::make_shared<std::string>();
    auto onLine = [describe, last](const std::string& line) {
        if (auto message = describe(line); message && !message->empty()) *last = *message;
    };
    std::optional<ShellCommandOutput> output;
    bool stopped = false;
    try {
        auto run = runTool(std::move(tool), std::move(arguments), std::move(folder), onLine, std::move(reason), stop, std::move(writable));
        output = co_await run;
    } catch (const CancellationError&) {
        stopped = true;
    } catch (...) {
        done.cancel();
        throw;
    }
    done.cancel();
    if (stopped) {
        if (!*expired) throw CancellationError();
        throw AgentToolError(limitMessage(toolName, limit, *last));
    }
    co_return std::move(*output);
}

Task<ShellCommandOutput> runRequestTool(std::string tool, std::vector<std::string> arguments, Url projectRoot,
                                        ShellCommandRunner::LineCallback onLine, FailureReason reason,
                                        std::optional<Cancellation> cancellation, std::vector<std::string> before,
                                        std::vector<std::string> writable) {
    std::optional<ShellCommandOutput> output;
    try {
        auto run = runTool(std::move(tool), std::move(arguments), projectRoot, std::move(onLine), std::move(reason),
                           std::move(cancellation), std::move(writable));
        output = co_await run;
    } catch (const CancellationError&) {
    }
    if (!output) {
        auto afterStop = touchedFilesAfterRun(std::move(projectRoot), std::move(before));
        throw AgentRunStopped(co_await afterStop);
    }
    co_return std::move(*output);
}

std::string limitMessage(const std::string& toolName, std::chrono::milliseconds limit, const std::string& lastMessage) {
    auto seconds = std::chrono::duration_cast<std::chrono::seconds>(limit).count();
    const std::string count = std::to_string(seconds);
    const auto n = static_cast<unsigned long>(seconds);
    if (lastMessage.empty()) {
        return tr::format(ngettext("%1 did not answer within %2 second.", "%1 did not answer within %2 seconds.", n),
                          {toolName, count});
    }
    return tr::format(ngettext("%1 did not answer within %2 second (last message: %3).",
                               "%1 did not answer within %2 seconds (last message: %3).", n),
                      {toolName, count, lastMessage});

}

std::vector<std::string> parsePorcelain(const std::string& output) {
    std::vector<std::string> paths;
    for (const auto& line : text::splitLines(output)) {
        std::string trimmed = text::trimSpacesAndTabs(line);
        if (trimmed.empty()) continue;
        if (auto arrow = trimmed.find(" -> "); arrow != std::string::npos) {
            paths.push_back(text::trimSpacesAndTabs(trimmed.substr(arrow + 4)));
        } else if (line.size() < 3) {
            paths.push_back(trimmed);
        } else {
            paths.push_back(text::trimSpacesAndTabs(line.substr(3)));
        }
    }
    return paths;
}

Task<std::vector<std::string>> gitChangedFiles(Url projectRoot) {
    auto status = ShellCommandRunner::run(std::string("/usr/bin/git"),
                                          {std::string("--no-optional-locks"), std::string("-C"), projectRoot.path(), std::string("status"),
                                           std::string("--porcelain")});
    ShellCommandOutput out = co_await status;
    co_return parsePorcelain(out.stdout);
}

Task<std::vector<std::string>> changedFilesOrNone(Url projectRoot) {
    try {
        auto listing = gitChangedFiles(projectRoot);
        co_return co_await listing;
    } catch (const std::exception&) {
        co_return std::vector<std::string>{};  // not a working copy, or no git: nothing to list
    }
}

Task<std::vector<std::string>> touchedFilesAfterRun(Url projectRoot, std::vector<std::string> before) {
    std::vector<std::string> paths;
    try {
        auto listing = gitChangedFiles(projectRoot);
        paths = co_await listing;
    } catch (const std::exception&) {
        paths = std::move(before);
    }
    std::sort(paths.begin(), paths.end());
    paths.erase(std::unique(paths.begin(), paths.end()), paths.end());
    co_return paths;
}

Task<AgentRunResult> resultOfRun(Url projectRoot, std::vector<std::string> before, std::string answer,
                                 std::string fallback, std::string recordName) {
    auto listing = touchedFilesAfterRun(projectRoot, std::move(before));
    auto touched = co_await listing;
    std::string summary = summaryOf(answer, fallback);
    writeTarnFile(projectRoot, recordName, answer);
    co_return AgentRunResult{summary, touched, answer};
}

void keepThought(std::string& thoughts, const std::string& more, bool chunk) {
    constexpr std::size_t limit = 64 * 1024;
    if (more.empty()) return;
    if (!chunk && !thoughts.empty()) thoughts += "\n\n";
    thoughts += chunk ? more : text::trim(more);
    if (thoughts.size() <= limit) return;
    std::size_t cut = thoughts.size() - limit;
    while (cut < thoughts.size() && (static_cast<unsigned char>(thoughts[cut]) & 0xC0) == 0x80) ++cut;
    thoughts.erase(0, cut);
}

std::string summaryOf(const std::string& answer, const std::string& fallback) {
    for (const auto& piece : text::splitNewlines(answer)) {
        if (!text::trim(piece).empty()) return piece;
    }
    return fallback;
}

std::filesystem::path writeTarnFile(const Url& projectRoot, const std::string& fileName, const std::string& text) {
    std::filesystem::path folder = std::filesystem::path(projectRoot.path()) / ".tarn";
    files::createDirectories(folder);
    files::writeAtomically(folder / fileName, text);
    return folder / fileName;
}

std::string relativeToRoot(const std::string& path, const std::string& root) {
    std::string prefix = root;
    while (prefix.size() > 1 && prefix.back() == '/') prefix.pop_back();
    prefix += '/';
    return text::startsWith(path, prefix) && path.size() > prefix.size() ? path.substr(prefix.size()) : path;
}

std::string stripCodeFences(const std::string& input) {
    // One pass each way: a pattern over unbounded white space would backtrack on a long run of it.
    std::string text = text::trim(input);
    if (!text::startsWith(text, "```")) return text;
    std::size_t at = 3;
    while (at < text.size() && g_ascii_isalnum(text[at])) ++at;
    // The text ends without white space, so trimming the rest only removes what follows the tag.
    text = text::trim(std::string_view(text).substr(at));
    if (text.size() >= 3 && text.compare(text.size() - 3, 3, "```") == 0) text = text::trim(text.substr(0, text.size() - 3));
    return text;
}

std::optional<json::Json> parseJSONObject(const std::string& input) {
    std::string text = text::trim(input);
    if (text.empty()) return std::nullopt;
    if (auto whole = json::parseObject(text)) return whole;
    auto lines = text::splitLines(text);
    for (auto it = lines.rbegin(); it != lines.rend(); ++it) {
        if (auto object = json::parseObject(*it)) return object;
    }
    return std::nullopt;
}

namespace {

std::optional<std::string> nonBlank(const json::Json& object, const char* key) {
    auto value = json::stringMember(object, key);
    if (value && !text::trim(*value).empty()) return value;
    return std::nullopt;
}

std::optional<std::string> joinedTexts(const json::Json& list) {
    if (!list.is_array() || !std::all_of(list.begin(), list.end(), [](const json::Json& e) { return e.is_object(); })) {
        return std::nullopt;
    }
    std::vector<std::string> texts;
    for (const auto& entry : list) {
        if (auto t = json::stringMember(entry, "text")) texts.push_back(*t);
    }
    std::string joined = text::join(texts, "\n");
    if (text::trim(joined).empty()) return std::nullopt;
    return joined;
}

}  // namespace

std::optional<std::string> extractResultText(const json::Json& object) {
    for (const char* key : {"result", "text", "message"}) {
        if (auto value = nonBlank(object, key)) return value;
    }
    if (auto message = object.find("message"); message != object.end() && message->is_object()) {
        if (auto content = message->find("content"); content != message->end()) {
            if (auto joined = joinedTexts(*content)) return joined;
        }
    }
    if (auto content = object.find("content"); content != object.end()) {
        if (auto joined = joinedTexts(*content)) return joined;
    }
    return std::nullopt;
}

std::string buildRequestPrompt(const std::string& firstLine, const std::string& request, bool planMode) {
    return agenttexts::fill("request.txt", {{"first", firstLine},
                                            {"mode", planMode ? "Plan mode is ON. Do not edit files. Return a concise implementation plan only."
                                                              : "Plan mode is OFF. Implement the request by editing project files directly."},
                                            {"request", request}});
}

AnswerFile::AnswerFile(const std::string& kind) {
    std::string pattern = (std::filesystem::path(g_get_tmp_dir()) / ("tarn-codex-" + kind + "-XXXXXX")).string();
    if (!g_mkdtemp(pattern.data())) throw AgentToolError(tr::format(_("Could not make a temporary folder: %1"), {g_strerror(errno)}));
    folder_ = pattern;
    path_ = folder_ + "/answer.txt";
}

AnswerFile::~AnswerFile() {
    std::error_code ec;
    std::filesystem::remove_all(folder_, ec);
}

}  // namespace tarn::agenttools
