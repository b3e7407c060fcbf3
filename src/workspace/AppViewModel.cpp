#include "workspace/AppViewModel.h"

#include "agents/AgentRunResult.h"
#include "process/ProcessEnvironment.h"
#include "process/ShellCommandRunner.h"
#include "support/Text.h"

#include <algorithm>
#include <filesystem>
#include <future>
#include <glib.h>

namespace tarn {

namespace {

AgentMessage makeMessage(AgentRole role, std::string content) { return AgentMessage(role, std::move(content)); }

// The first line of an error's description, at most 200 characters: enough to say why.
std::string firstLineOf(const std::string& description) {
    auto lines = text::splitLines(description);
    return lines.empty() ? std::string() : text::graphemePrefix(text::trim(lines.front()), 200);
}

std::string errorText(const std::exception& e) { return e.what(); }

// What a piece of work gave, or the description of what it threw: a failure is reported after
// the work, since a handler cannot wait for anything.
struct Done {};
template <typename T>
struct Outcome {
    std::optional<T> value;
    std::string failure;
    explicit operator bool() const { return value.has_value(); }
};
template <typename T>
Task<Outcome<T>> attempt(Task<T> work) {
    Outcome<T> outcome;
    try {
        outcome.value = co_await work;
    } catch (const std::exception& e) {
        outcome.failure = errorText(e);
    }
    co_return outcome;
}
Task<Outcome<Done>> attempt(Task<void> work) {
    Outcome<Done> outcome;
    try {
        co_await work;
        outcome.value = Done{};
    } catch (const std::exception& e) {
        outcome.failure = errorText(e);
    }
    co_return outcome;
}

}  // namespace

// Construction.

AppViewModel::AppViewModel(AppViewModelOptions options) : options_(options) {}

std::shared_ptr<AppViewModel> AppViewModel::create(AppViewModelOptions options) {
    std::shared_ptr<AppViewModel> model(new AppViewModel(options));
    model->wireDevServer();
    model->messages.modify([](auto& list) {
        list.push_back(makeMessage(AgentRole::assistant,
                                   "Open a project folder and I will boot the environment, run the app, and apply UI "
                                   "changes from this panel."));
    });
    spawn(model->probeAgentsAtStart());
    return model;
}

Task<void> AppViewModel::probeAgentsAtStart() {
    co_await refreshAgentRuntimesInBackground();
    agentsProbed_.open();
}

AppViewModel::~AppViewModel() { shutdown(); }

void AppViewModel::wireDevServer() {
    std::weak_ptr<AppViewModel> weak = weak_from_this();
    devServerController_.onOutputLine = [weak](const std::string& line) {
        postToMainWeak(weak, [line](AppViewModel& model) { model.handleServerOutputLine(line); });
    };
    devServerController_.onExit = [weak](int status) {
        postToMainWeak(weak, [status](AppViewModel& model) { model.handleServerExit(status); });
    };
}

void AppViewModel::shutdown() {
    lifetime_.cancel();
    cancelAgentRequest();
    if (thinkingTask_) thinkingTask_->cancel();
    devServerController_.stop();
}

void AppViewModel::appendSystemMessage(const std::string& text) {
    messages.modify([&](auto& list) { list.push_back(makeMessage(AgentRole::system, text)); });
}

// Agent tools.

AppViewModel::AgentVersions AppViewModel::probeAgentVersions() const {
    // Both tools answer at the same time; each probe may take a few hundred milliseconds.
    auto claude = std::async(std::launch::async, [this] { return claudeCodeCLIService_.detectVersion(); });
    AgentVersions versions;
    versions.codex = codexCLIService_.detectVersion();
    versions.claudeCode = claude.get();
    return versions;
}

std::string AppViewModel::modelLabelFor(AgentRuntime runtime) {
    return runtime == AgentRuntime::codex ? "GPT-5 Codex" : "Claude Code";
}

void AppViewModel::applyAgentRuntimes(const AgentVersions& versions) {
    const AgentRuntime remembered = *selectedAgentRuntime;
    std::vector<AgentRuntime> available;
    std::vector<std::string> parts;
    if (versions.codex) {
        available.push_back(AgentRuntime::codex);
        parts.push_back("Codex: " + *versions.codex);
    } else {
        parts.push_back("Codex: not installed");
    }
    if (versions.claudeCode) {
        available.push_back(AgentRuntime::claudeCode);
        parts.push_back("Claude Code: " + *versions.claudeCode);
    } else {
        parts.push_back("Claude Code: not installed");
    }
    availableAgentRuntimes = available;
    agentStatusLabel = text::join(parts, "  \u2022  ");

    auto has = [&](AgentRuntime r) { return std::find(available.begin(), available.end(), r) != available.end(); };
    AgentRuntime choice;
    if (has(remembered)) {
        choice = remembered;
    } else if (has(AgentRuntime::codex)) {
        choice = AgentRuntime::codex;
    } else if (!available.empty()) {
        choice = available.front();
    } else {
        selectedAgentRuntime = AgentRuntime::codex;
        modelLabel = "Local Agent";
        return;
    }
    selectedAgentRuntime = choice;
    modelLabel = modelLabelFor(choice);
}

void AppViewModel::refreshAgentRuntimes() {
    applyAgentRuntimes(probeAgentVersions());
    agentsProbed_.open();
}

// The same probe as at construction, but the window keeps drawing while the tools answer.
Task<void> AppViewModel::refreshAgentRuntimesInBackground() {
    auto self = shared_from_this();
    AgentVersions versions = co_await inBackground([self] { return self->probeAgentVersions(); });
    applyAgentRuntimes(versions);
    agentsProbed_.open();
}

void AppViewModel::selectAgentRuntime(AgentRuntime runtime) {
    const auto& available = *availableAgentRuntimes;
    if (std::find(available.begin(), available.end(), runtime) == available.end()) return;
    selectedAgentRuntime = runtime;
    modelLabel = modelLabelFor(runtime);
}

std::optional<AgentRuntime> AppViewModel::resolvedAgentRuntime() const {
    const auto& available = *availableAgentRuntimes;
    if (std::find(available.begin(), available.end(), *selectedAgentRuntime) != available.end()) return *selectedAgentRuntime;
    if (!available.empty()) return available.front();
    return std::nullopt;
}

// Opening a project.

void AppViewModel::openProject(const FolderPicker& picker) {
    std::weak_ptr<AppViewModel> weak = weak_from_this();
    picker(FolderPickerRequest{"Open Project", "Pick a web app folder (v1 optimized for Next.js + React + TypeScript)."},
           [weak](std::optional<Url> folder) {
               auto self = weak.lock();
               if (!self || !folder) return;
               spawn(self->loadProject(*folder));
           });
}

void AppViewModel::openFolder(const std::string& path) {
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    if (!std::filesystem::exists(status)) {
        appendSystemMessage("Could not open " + path + ": there is no such folder.");
    } else if (!std::filesystem::is_directory(status)) {
        appendSystemMessage("Could not open " + path + ": it is not a folder.");
    } else {
        spawn(loadProject(Url::fileURL(path)));
    }
}

std::string AppViewModel::stackLabelFor(const ProjectContext& context) {
    return std::string(rawValueOf(context.stack)) + " via " + std::string(rawValueOf(context.packageManager)) + " (" +
           context.commandSource + ")";
}

AgentBootstrapPlan AppViewModel::localStartupPlan(const ProjectContext& context) {
    return AgentBootstrapPlan{context.installCommand, context.devCommand,
                              "Using local runtime detection based on lockfiles and available binaries.", {},
                              "Local fallback"};
}

Task<void> AppViewModel::loadProject(Url folder) {
    auto self = shared_from_this();
    // The tools' versions, package.json and the package managers, read off the main thread in one
    // go: each return to the main thread may wait for a frame to be drawn.
    struct Reading {
        AgentVersions versions;
        std::optional<ProjectContext> detected;
        std::string failure;
    };
    Reading reading = co_await inBackground([self, folder] {
        Reading r;
        r.versions = self->probeAgentVersions();
        try {
            r.detected = self->bootstrapService_.detectProject(folder);
        } catch (const std::exception& e) {
            r.failure = errorText(e);
        }
        return r;
    });
    applyAgentRuntimes(reading.versions);
    agentsProbed_.open();
    const std::optional<ProjectContext>& detected = reading.detected;
    const std::string& failure = reading.failure;
    if (!detected) {
        appendSystemMessage("Project bootstrap failed: " + failure);
        serverState = ServerRuntimeState::failed(failure);
        co_return;
    }

    projectContext_ = *detected;
    projectPathLabel = detected->rootURL.path();
    stackLabel = stackLabelFor(*detected);
    browserAddress = detected->defaultURL.string();
    currentURL = detected->defaultURL;
    // The server is on its way: until it answers the preview waits for it instead of failing.
    previewFollower_.expectServer(true);
    loadAddressToken = Uuid();
    installCommandLabel = detected->installCommand;
    devCommandLabel = detected->devCommand;
    serverLogLines.modify([](auto& log) { log.clear(); });
    touchedFiles = std::vector<std::string>{};
    selectedInspectTarget = std::nullopt;
    selectedInspectTargets = std::vector<InspectTarget>{};
    appendSystemMessage("Project loaded. Building runtime instructions...");

    co_await planStartupCommands();
    // The git listing goes on while the server starts: the preview is what the user waits for.
    Started listing(refreshVersions());
    co_await installAndStartServer();
    co_await listing;
}

Task<void> AppViewModel::planStartupCommands(bool probeAgents) {
    if (!projectContext_) co_return;
    auto self = shared_from_this();
    const ProjectContext ctx = *projectContext_;
    if (probeAgents) co_await refreshAgentRuntimesInBackground();
    const auto runtime = resolvedAgentRuntime();

    AgentBootstrapPlan plan;
    if (!runtime) {
        appendSystemMessage("No CLI runtime detected (Codex or Claude Code). Using local startup command detection.");
        plan = localStartupPlan(ctx);
    } else {
        const std::string name = displayName(*runtime);
        appendSystemMessage("Asking " + name + " to plan install/dev commands...");
        auto proposed = co_await attempt(*runtime == AgentRuntime::codex
                                             ? codexCLIService_.proposeStartupPlan(ctx, options_.startupPlanLimit, lifetime_)
                                             : claudeCodeCLIService_.proposeStartupPlan(ctx, options_.startupPlanLimit, lifetime_));
        if (proposed) {
            appendSystemMessage(name + " startup plan received.");
            plan = *proposed.value;
        } else {
            appendSystemMessage(name + " startup planning failed, using fallback: " + proposed.failure);
            plan = localStartupPlan(ctx);
        }
    }

    ProjectContext updated = ctx;
    updated.packageManager = inferPackageManager(plan.installCommand, plan.devCommand).value_or(ctx.packageManager);
    updated.commandSource = plan.planner == "Local fallback" ? ctx.commandSource : plan.planner;
    updated.installCommand = plan.installCommand;
    updated.devCommand = plan.devCommand;
    updated.instructionsFileURL = std::nullopt;

    std::optional<Url> written;
    try {
        written = codexCLIService_.writeRuntimeInstructions(plan, updated);
    } catch (const std::exception& e) {
        appendSystemMessage("Could not write .tarn/instructions.md: " + errorText(e));
        co_return;
    }
    updated.instructionsFileURL = written;
    projectContext_ = updated;
    installCommandLabel = updated.installCommand;
    devCommandLabel = updated.devCommand;
    instructionsPathLabel = written->path();
    stackLabel = stackLabelFor(updated);
    appendSystemMessage("Saved startup instructions to .tarn/instructions.md");
}

std::optional<PackageManager> AppViewModel::inferPackageManager(const std::string& installCommand,
                                                                const std::string& devCommand) {
    const std::string joined = text::toLower(installCommand + " " + devCommand);
    // "pnpm" holds "npm", so it is asked first.
    for (PackageManager manager : {PackageManager::pnpm, PackageManager::yarn, PackageManager::bun, PackageManager::npm}) {
        if (text::contains(joined, rawValueOf(manager))) return manager;
    }
    return std::nullopt;
}

// The dev server.

Task<void> AppViewModel::installAndStartServer() {
    if (!projectContext_) {
        appendSystemMessage("Open a project first.");
        co_return;
    }
    auto self = shared_from_this();
    const ProjectContext ctx = *projectContext_;
    serverState = ServerRuntimeState::starting();
    previewFollower_.expectServer(true);
    appendSystemMessage("Checking dependencies with `" + ctx.installCommand + "`...");

    std::weak_ptr<AppViewModel> weak = self;
    auto onInstallLine = [weak](const std::string& line) {
        if (auto model = weak.lock()) model->appendServerLog(line, true);
    };
    std::string failure;
    bool installed = false;
    try {
        co_await bootstrapService_.installDependenciesIfNeeded(ctx, onInstallLine, lifetime_);
        installed = true;
    } catch (const CancellationError&) {
        failure = "The install was stopped.";
    } catch (const std::exception& e) {
        failure = errorText(e);
    }
    if (!installed) {
        previewFollower_.expectServer(false);
        serverState = ServerRuntimeState::failed(failure);
        appendSystemMessage("Could not start server: " + failure);
        co_return;
    }

    appendSystemMessage("Starting dev server with `" + ctx.devCommand + "`...");
    try {
        devServerController_.start(ctx);
    } catch (const std::exception& e) {
        previewFollower_.expectServer(false);
        serverState = ServerRuntimeState::failed(errorText(e));
        appendSystemMessage("Could not start server: " + errorText(e));
        co_return;
    }
    serverState = ServerRuntimeState::running();
}

void AppViewModel::stopServer() {
    devServerController_.stop();
    previewFollower_.expectServer(false);
    serverState = ServerRuntimeState::stopped();
    appendServerLog("Server stop requested.", false);
}

void AppViewModel::appendServerLog(const std::string& line, bool trim) {
    serverLogLines.modify([&](auto& log) {
        log.push_back(line);
        if (trim) log.trimTo(serverLogLimit);
    });
}

void AppViewModel::handleServerOutputLine(const std::string& raw) {
    // Colour codes make the log unreadable and split addresses ("localhost:\e[1m5173").
    const std::string line = text::stripTerminalEscapes(raw);
    appendServerLog(line, true);
    if (auto address = localServerURL(line)) {
        browserAddress = address->string();
        currentURL = *address;
        previewFollower_.addressAnnounced(*address);
    }
    const std::string lower = text::toLower(line);
    if (text::contains(lower, "command not found")) {
        previewFollower_.expectServer(false);
        serverState = ServerRuntimeState::failed(line);
        appendSystemMessage(commandNotFoundAdvice(ProcessEnvironment::augmentedEnvironment()["PATH"]));
    } else if (text::contains(lower, "ready") || text::contains(lower, "started") || text::contains(lower, "localhost")) {
        serverState = ServerRuntimeState::running();
    }
}

std::string AppViewModel::commandNotFoundAdvice(const std::string& searchPath) {
    return "Startup command failed: the shell could not find a command. Install Node.js and the project's package "
           "manager from your distribution (sudo apt install nodejs npm) or with a version manager such as nvm, fnm or "
           "Volta, and check that the command is in one of the folders Tarn searches: " +
           searchPath + ". Then start the server again.";
}

std::optional<Url> AppViewModel::localServerURL(const std::string& line) {
    for (const auto& link : text::findLinks(line)) {
        auto url = Url::parse(link);
        if (!url) continue;
        if (text::contains(url->string(), "localhost") || text::contains(url->string(), "127.0.0.1")) return url;
    }
    return std::nullopt;
}

void AppViewModel::handleServerExit(int status) {
    appendServerLog("Server stopped (exit " + std::to_string(status) + ").", false);
    // The end of a server that a newer one replaced says nothing about the newer one.
    if (devServerController_.isRunning()) return;
    previewFollower_.expectServer(false);
    serverState = ServerRuntimeState::stopped();
}

// The address bar and the logs.

std::optional<Url> AppViewModel::normalizedBrowserURL(const std::string& input) {
    const std::string trimmed = text::trim(input);
    if (trimmed.empty()) return std::nullopt;
    // A scheme counts only as "scheme://…": "localhost:3000" is a host and port, not a scheme.
    auto marker = trimmed.find("://");
    bool hasScheme = marker != std::string::npos && marker > 0 && g_ascii_isalpha(trimmed[0]) &&
                     std::all_of(trimmed.begin(), trimmed.begin() + static_cast<long>(marker), [](char c) {
                         return g_ascii_isalnum(c) || c == '+' || c == '-' || c == '.';
                     });
    if (hasScheme) {
        if (auto url = Url::parse(trimmed)) return url;
    }
    return Url::parse("http://" + trimmed);
}

void AppViewModel::loadBrowserAddress() {
    auto url = normalizedBrowserURL(*browserAddress);
    if (!url) {
        appendSystemMessage("Invalid URL.");
        return;
    }
    browserAddress = url->string();
    currentURL = *url;
    loadAddressToken = Uuid();
}

void AppViewModel::toggleBrowserExpanded() { isBrowserExpanded = !*isBrowserExpanded; }

void AppViewModel::previewLoadEnded(const PreviewLoad& load) { previewFollower_.loadEnded(load); }

void AppViewModel::appendConsoleEntry(BrowserConsoleEntry entry) {
    consoleEntries.modify([&](auto& list) {
        list.push_back(std::move(entry));
        list.trimTo(consoleLimit);
    });
}

void AppViewModel::copyLogs(const Clipboard& clipboard) {
    std::vector<std::string> console;
    for (const auto& entry : *consoleEntries) console.push_back(entry.line());
    std::vector<std::string> server(serverLogLines->begin(), serverLogLines->end());
    clipboard("=== Browser Console ===\n" + text::join(console, "\n") + "\n\n=== Server Log ===\n" + text::join(server, "\n"));
    appendSystemMessage("Console logs copied.");
}

// Versions.

Task<void> AppViewModel::refreshVersions() {
    if (!projectContext_) {
        versions = std::vector<VersionItem>{};
        co_return;
    }
    auto self = shared_from_this();
    auto listed = co_await attempt(gitVersionService_.listVersions(projectContext_->rootURL));
    if (listed) {
        versions = *listed.value;
    } else {
        versions = std::vector<VersionItem>{};
        appendServerLog("Version list unavailable: " + listed.failure, false);
    }
}

Task<void> AppViewModel::createVersion() {
    if (!projectContext_) co_return;
    const std::string name = text::trim(*newVersionName);
    if (name.empty()) co_return;
    auto self = shared_from_this();
    auto created = co_await attempt(gitVersionService_.createVersion(name, projectContext_->rootURL));
    if (!created) {
        appendSystemMessage("Could not create Version: " + created.failure);
        co_return;
    }
    newVersionName = "";
    co_await refreshVersions();
    appendSystemMessage("Created Version '" + name + "'.");
}

Task<void> AppViewModel::switchVersion(std::string name) {
    if (!projectContext_) co_return;
    auto self = shared_from_this();
    auto switched = co_await attempt(gitVersionService_.switchVersion(name, projectContext_->rootURL));
    if (!switched) {
        appendSystemMessage("Could not switch Version: " + switched.failure);
        co_return;
    }
    co_await refreshVersions();
    reloadToken = Uuid();
    appendSystemMessage("Switched to Version '" + name + "'.");
}

// Agent requests.

Task<void> AppViewModel::sendPrompt() {
    const std::string text = text::trim(*draftPrompt);
    if (text.empty()) co_return;
    auto self = shared_from_this();
    draftPrompt = "";
    co_await runAgentRequest(text);
}

Task<void> AppViewModel::submitChangeDescription() {
    const std::string text = text::trim(*changeDescriptionDraft);
    if (text.empty()) co_return;
    auto self = shared_from_this();
    showChangeDescriptionSheet = false;
    co_await runAgentRequest(text);
}

Cancellation AppViewModel::beginRequest() {
    Cancellation request;
    runningRequests_.push_back(request);
    isSending = true;
    return request;
}

void AppViewModel::endRequest(const Cancellation& request) {
    std::erase_if(runningRequests_, [&](const Cancellation& c) { return c == request; });
    isSending = !runningRequests_.empty();
}

void AppViewModel::cancelAgentRequest() {
    auto running = runningRequests_;
    for (auto& request : running) request.cancel();
}

Task<AgentRunResult> AppViewModel::runAgentTool(AgentRuntime runtime, std::string request, Url root, bool planMode,
                                                Cancellation stop) {
    // Feedback reaches the controller as new main-thread tasks: progress in the thinking
    // message, the tool's other output in the server log.
    std::weak_ptr<AppViewModel> weak = weak_from_this();
    const std::string name = displayName(runtime);
    AgentRunFeedback feedback{
        [weak](const std::string& line) {
            postToMainWeak(weak, [line](AppViewModel& model) { model.pushThinkingLine(line); });
        },
        [weak, name](const std::string& line) {
            postToMainWeak(weak, [line, name](AppViewModel& model) { model.appendServerLog(name + ": " + line, true); });
        },
    };
    if (runtime == AgentRuntime::codex) {
        co_return co_await codexCLIService_.runRequest(std::move(request), root, planMode, feedback, stop);
    }
    co_return co_await claudeCodeCLIService_.runRequest(std::move(request), root, planMode, feedback, stop);
}

// A stopped run lists what the tool changed before it stopped, and shows it if anything changed.
Task<AppViewModel::ToolRun> AppViewModel::tryAgentTool(AgentRuntime runtime, std::string request, Url root,
                                                       bool planMode, Cancellation stop) {
    ToolRun run;
    std::optional<std::vector<std::string>> stoppedWith;
    try {
        run.result = co_await runAgentTool(runtime, std::move(request), std::move(root), planMode, stop);
    } catch (const AgentRunStopped& e) {
        stoppedWith = e.touchedFiles;
    } catch (const std::exception& e) {
        run.failure = displayName(runtime) + " could not run: " + firstLineOf(errorText(e));
    }
    if (stoppedWith) {
        run.stopped = true;
        touchedFiles = *stoppedWith;
        completeAgentReply("Request stopped.", {});
        if (!stoppedWith->empty()) reloadToken = Uuid();
    }
    co_return run;
}

void AppViewModel::reportToolFailure(const std::optional<std::string>& failure) {
    if (failure) appendSystemMessage(*failure);
}

Task<void> AppViewModel::runAgentRequest(std::string text) {
    if (!projectContext_) {
        completeAgentReply("Open a project first so I can inspect and edit real files.", {});
        co_return;
    }
    auto self = shared_from_this();
    const ProjectContext ctx = *projectContext_;
    const std::vector<InspectTarget> targets = *selectedInspectTargets;
    messages.modify([&](auto& list) {
        AgentMessage message = makeMessage(AgentRole::user, text);
        message.selectedTargets = targets;
        list.push_back(std::move(message));
    });
    beginThinking("Working on it now.");
    const std::string request = composeAgentRequest(text, targets);
    co_await agentsProbed_.wait();
    const auto runtime = resolvedAgentRuntime();
    const Cancellation stop = beginRequest();

    std::optional<std::string> toolFailure;
    if (runtime) {
        const std::string name = displayName(*runtime);
        auto run = co_await tryAgentTool(*runtime, request, ctx.rootURL, *planModeEnabled, stop);
        if (run.stopped) {
            endRequest(stop);
            co_return;
        }
        toolFailure = run.failure;
        auto& result = run.result;
        if (result) {
            const bool planMode = *planModeEnabled;
            const std::string command = *runtime == AgentRuntime::codex ? "codex exec" : "claude -p";
            touchedFiles = result->touchedFiles;
            std::vector<AgentPlanStep> steps{
                AgentPlanStep{Uuid(), "Send request to " + name, "Invoke `" + command + "` with project context.", true},
                planMode ? AgentPlanStep{Uuid(), "Generate plan only", "No files edited in plan mode.", true}
                         : AgentPlanStep{Uuid(), "Apply implementation", name + " edited files directly.", true},
                AgentPlanStep{Uuid(), "Update visual feedback loop", "Refresh app preview and touched files list.", true},
            };
            completeAgentReply(planMode ? result->summary : replyText(*result), steps);
            endRequest(stop);
            if (!planMode) {
                reloadToken = Uuid();
                co_await refreshVersions();
            }
            co_return;
        }
        beginThinking(name + " unavailable, switching to local agent...");
        pushThinkingLine("Using local fallback agent...");
    } else {
        beginThinking("Using local fallback agent...");
    }
    co_await runLocalAgent(request, targets.empty() ? std::nullopt : std::optional(targets.back()), ctx.rootURL,
                           toolFailure);
    endRequest(stop);
}

Task<void> AppViewModel::runLocalAgent(std::string request, std::optional<InspectTarget> target, Url root,
                                       std::optional<std::string> toolFailure) {
    auto outcome = co_await attempt(agentService_.handlePrompt(request, target, *planModeEnabled, root));
    reportToolFailure(toolFailure);
    if (!outcome) {
        completeAgentReply("Agent failed: " + outcome.failure, {});
        co_return;
    }
    const LocalAgentResult& result = *outcome.value;
    touchedFiles = result.changedFiles;
    completeAgentReply(result.message, result.plan);
    if (!*planModeEnabled && !result.changedFiles.empty()) {
        reloadToken = Uuid();
        co_await refreshVersions();
    }
}

std::string AppViewModel::replyText(const AgentRunResult& result) {
    // The summary is usually the answer's own first line: then the answer says it once.
    if (text::startsWith(text::trim(result.output), text::trim(result.summary))) return text::trim(result.output);
    return result.summary + "\n\n" + result.output;
}

std::string AppViewModel::composeAgentRequest(const std::string& text, const std::vector<InspectTarget>& targets) {
    if (targets.empty()) return text;
    std::vector<std::string> lines;
    for (std::size_t i = 0; i < targets.size(); ++i) lines.push_back(describeSelectedTarget(i, targets[i]));
    return text + "\n\nSelected UI elements from the live preview (prioritize these when mapping code):\n" +
           text::join(lines, "\n");
}

std::string AppViewModel::describeSelectedTarget(std::size_t index, const InspectTarget& t) {
    return std::to_string(index + 1) + ". component: " + (t.componentGuess.empty() ? "Unknown component" : t.componentGuess) +
           "; fileHint: " + (t.fileGuess.empty() ? "unknown file" : t.fileGuess) + "; selector: " + t.selector +
           "; text: " + (t.textSnippet.empty() ? "(no text snippet)" : "\"" + t.textSnippet + "\"");
}

// Inline edits.

std::string AppViewModel::inlineEditInstruction(const InspectTarget& target, const std::string& newText) {
    return "Apply a minimal copy edit.\nReplace this exact UI text:\n\"" + target.textSnippet + "\"\n\nWith:\n\"" + newText +
           "\"\n\nPreferred file hint: " + (target.fileGuess.empty() ? "unknown file" : target.fileGuess) +
           "\nKeep the change minimal and do not refactor unrelated code.";
}

Task<void> AppViewModel::submitInlineEdit() {
    if (!projectContext_) {
        appendSystemMessage("Open a project first.");
        co_return;
    }
    if (!*selectedInspectTarget) {
        appendSystemMessage("Select an element in Inspect mode first.");
        co_return;
    }
    const std::string newText = text::trim(*inlineTextDraft);
    if (newText.empty()) {
        appendSystemMessage("Inline text cannot be empty.");
        co_return;
    }
    auto self = shared_from_this();
    const InspectTarget target = **selectedInspectTarget;
    const ProjectContext ctx = *projectContext_;
    co_await agentsProbed_.wait();
    const auto runtime = resolvedAgentRuntime();
    const Cancellation stop = beginRequest();

    std::optional<std::string> toolFailure;
    if (!runtime) {
        beginThinking("Applying local inline edit...");
    } else {
        const std::string name = displayName(*runtime);
        beginThinking("Preparing inline edit with " + name + "...");
        auto run = co_await tryAgentTool(*runtime, inlineEditInstruction(target, newText), ctx.rootURL, false, stop);
        if (run.stopped) {
            endRequest(stop);
            co_return;
        }
        toolFailure = run.failure;
        auto& result = run.result;
        if (result) {
            touchedFiles = result->touchedFiles;
            showInlineEditSheet = false;
            completeAgentReply(result->summary, {});
            endRequest(stop);
            reloadToken = Uuid();
            co_await refreshVersions();
            co_return;
        }
        beginThinking(name + " run failed, switching to local edit...");
        pushThinkingLine("Applying local inline edit...");
    }
    co_await applyLocalInlineEdit(target, newText, ctx.rootURL, toolFailure);
    endRequest(stop);
}

Task<void> AppViewModel::applyLocalInlineEdit(InspectTarget target, std::string newText, Url root,
                                              std::optional<std::string> toolFailure) {
    auto outcome = co_await attempt(agentService_.applyInlineEdit(target, newText, root));
    reportToolFailure(toolFailure);
    if (!outcome) {
        completeAgentReply("Inline edit failed: " + outcome.failure, {});
        co_return;
    }
    const LocalAgentResult& result = *outcome.value;
    touchedFiles = result.changedFiles;
    showInlineEditSheet = false;
    completeAgentReply(result.message, result.plan);
    reloadToken = Uuid();
}

// The selection.

void AppViewModel::handleInspectSelection(const InspectTarget& t) {
    selectedInspectTargets.modify([&](auto& list) {
        if (t.isSelected) {
            auto same = std::find_if(list.begin(), list.end(), [&](const InspectTarget& e) { return e.selectionKey == t.selectionKey; });
            if (same != list.end()) {
                *same = t;
            } else {
                list.push_back(t);
                inspectSelectionPulseToken = Uuid();
            }
        } else {
            std::erase_if(list, [&](const InspectTarget& e) { return e.selectionKey == t.selectionKey; });
        }
    });
    selectedInspectTarget = selectedInspectTargets->empty() ? std::nullopt : std::optional(selectedInspectTargets->back());
    if (t.isSelected && t.metaClick && !t.textSnippet.empty()) {
        inlineTextDraft = t.textSnippet;
        showInlineEditSheet = true;
    }
}

void AppViewModel::removeSelectedTarget(const std::string& selectionKey) {
    selectedInspectTargets.modify(
        [&](auto& list) { std::erase_if(list, [&](const InspectTarget& e) { return e.selectionKey == selectionKey; }); });
    selectedInspectTarget = selectedInspectTargets->empty() ? std::nullopt : std::optional(selectedInspectTargets->back());
}

// The thinking indicator.

bool AppViewModel::updateMessage(const std::optional<Uuid>& id, const std::function<void(AgentMessage&)>& change) {
    if (!id) return false;
    const auto& list = *messages;
    auto found = std::find_if(list.begin(), list.end(), [&](const AgentMessage& m) { return m.id == *id; });
    if (found == list.end()) return false;
    const auto index = found - list.begin();
    messages.modify([&](auto& all) { change(all[static_cast<std::size_t>(index)]); });
    return true;
}

void AppViewModel::beginThinking(const std::string& line) {
    isAgentThinking_ = true;
    thinkingQueue_.clear();
    const bool reused = updateMessage(thinkingMessageID_, [](AgentMessage& message) {
        message.isThinking = true;
        message.plan.clear();
        message.timestamp = std::chrono::system_clock::now();
    });
    if (!reused) {
        AgentMessage message = makeMessage(AgentRole::assistant, line);
        message.isThinking = true;
        thinkingMessageID_ = message.id;
        messages.modify([&](auto& list) { list.push_back(std::move(message)); });
    }
    pushThinkingLine(line);
}

void AppViewModel::pushThinkingLine(const std::string& line) {
    const std::string t = text::trim(line);
    if (t.empty() || t == lastThinkingMessage_) return;
    lastThinkingMessage_ = t;
    thinkingQueue_.push_back(t);
    while (thinkingQueue_.size() > thinkingQueueLimit) thinkingQueue_.pop_front();
    ensureThinkingTask();
}

void AppViewModel::ensureThinkingTask() {
    if (thinkingTask_) return;
    thinkingTask_ = Cancellation();
    spawn(runThinkingLoop(weak_from_this(), *thinkingTask_));
}

Task<void> AppViewModel::runThinkingLoop(std::weak_ptr<AppViewModel> weak, Cancellation cancelled) {
    while (true) {
        std::chrono::milliseconds pause;
        {
            auto self = weak.lock();
            if (!self) co_return;
            if ((!self->isAgentThinking_ && self->thinkingQueue_.empty()) || cancelled.isCancelled()) {
                self->lastThinkingMessage_.clear();
                self->thinkingTask_.reset();
                co_return;
            }
            if (self->thinkingQueue_.empty()) {
                pause = self->options_.thinkingIdlePoll;
            } else {
                std::string line = std::move(self->thinkingQueue_.front());
                self->thinkingQueue_.pop_front();
                // With no thinking message the line goes unseen.
                self->updateMessage(self->thinkingMessageID_, [&](AgentMessage& message) {
                    message.content = line;
                    message.timestamp = std::chrono::system_clock::now();
                    message.isThinking = true;
                });
                pause = self->options_.thinkingLineDuration;
            }
        }
        // Not held while asleep: a controller that goes away in the meantime ends the loop.
        try {
            co_await sleepFor(pause, cancelled);
        } catch (const CancellationError&) {
        }
    }
}

void AppViewModel::completeAgentReply(const std::string& text, std::vector<AgentPlanStep> steps) {
    isAgentThinking_ = false;
    const bool replaced = updateMessage(thinkingMessageID_, [&](AgentMessage& message) {
        message.content = text;
        message.plan = steps;
        message.timestamp = std::chrono::system_clock::now();
        message.isThinking = false;
    });
    if (replaced) {
        thinkingMessageID_ = std::nullopt;
    } else {
        AgentMessage message = makeMessage(AgentRole::assistant, text);
        message.plan = std::move(steps);
        messages.modify([&](auto& list) { list.push_back(std::move(message)); });
    }
}

}  // namespace tarn
