#pragma once
#include "agents/AgentService.h"
#include "agents/ClaudeCodeCLIService.h"
#include "agents/CodexCLIService.h"
#include "bootstrap/ProjectBootstrapService.h"
#include "model/AgentBootstrapPlan.h"
#include "model/AgentMessage.h"
#include "model/AgentRuntime.h"
#include "model/BrowserConsoleEntry.h"
#include "model/InspectTarget.h"
#include "model/PreviewLoad.h"
#include "model/ProjectContext.h"
#include "model/ServerRuntimeState.h"
#include "model/VersionItem.h"
#include "process/DevServerController.h"
#include "support/Published.h"
#include "support/RollingList.h"
#include "support/Task.h"
#include "support/Url.h"
#include "support/Uuid.h"
#include "versions/GitVersionService.h"
#include "workspace/PreviewFollower.h"

#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tarn {

// What the folder picker is asked to show, and how it answers: one folder, or nothing.
struct FolderPickerRequest {
    std::string prompt;   // the button that accepts
    std::string message;  // the line above the folders
};
using FolderPicker = std::function<void(const FolderPickerRequest&, std::function<void(std::optional<Url>)>)>;
// Puts plain text on the clipboard.
using Clipboard = std::function<void(const std::string&)>;

// Timings and limits the tests shorten; the defaults are what users get.
struct AppViewModelOptions {
    std::chrono::milliseconds thinkingIdlePoll{150};
    std::chrono::milliseconds thinkingLineDuration{1050};
    std::chrono::milliseconds startupPlanLimit = CodexCLIService::startupPlanLimit;
};

// The workspace controller: holds everything the window shows and runs every flow (opening a
// project, the dev server, the preview's address and logs, versions, agent requests and inline
// edits). The window reads its published state, binds its fields to the editable ones, and calls
// its operations. It lives on the main thread; its asynchronous operations suspend and resume
// there, holding it for as long as they run. Callbacks that arrive from elsewhere (server lines,
// agent progress) and the thinking loop hold it weakly and do nothing once it is gone.
class AppViewModel : public std::enable_shared_from_this<AppViewModel> {
public:
    // Gives every property its initial value, wires the dev server's callbacks, posts the welcome
    // message, and asks which agent tools are installed in the background: the window shows at
    // once, and requests wait for the answers.
    static std::shared_ptr<AppViewModel> create(AppViewModelOptions options = {});
    ~AppViewModel();
    AppViewModel(const AppViewModel&) = delete;
    AppViewModel& operator=(const AppViewModel&) = delete;

    // Published state, in the window's order.
    Published<std::string> projectPathLabel{"Open a project to start"};
    Published<std::string> stackLabel{"No stack detected"};
    Published<std::string> browserAddress{"http://localhost:3000"};
    Published<std::optional<Url>> currentURL;
    Published<Uuid> loadAddressToken;
    Published<Uuid> reloadToken;
    Published<bool> isBrowserExpanded{false};
    Published<std::string> installCommandLabel{"-"};
    Published<std::string> devCommandLabel{"-"};
    Published<std::string> instructionsPathLabel{"No instructions yet"};
    Published<std::string> agentStatusLabel{"Agents: checking..."};
    Published<std::string> modelLabel{"GPT-5 Codex"};
    Published<std::vector<AgentRuntime>> availableAgentRuntimes;
    Published<AgentRuntime> selectedAgentRuntime{AgentRuntime::codex};
    Published<ServerRuntimeState> serverState;
    Published<RollingList<std::string>> serverLogLines;
    Published<bool> inspectModeEnabled{false};
    Published<std::optional<InspectTarget>> selectedInspectTarget;
    Published<std::vector<InspectTarget>> selectedInspectTargets;
    Published<Uuid> inspectSelectionPulseToken;
    Published<std::string> routeLabel{"/"};
    Published<std::vector<VersionItem>> versions;
    Published<std::string> newVersionName;
    Published<RollingList<BrowserConsoleEntry>> consoleEntries;
    Published<bool> planModeEnabled{false};
    Published<std::vector<AgentMessage>> messages;
    Published<std::string> draftPrompt;
    Published<std::vector<std::string>> touchedFiles;
    Published<std::string> inlineTextDraft;
    Published<bool> showInlineEditSheet{false};
    Published<std::string> changeDescriptionDraft;
    Published<bool> showChangeDescriptionSheet{false};
    // True while an agent request or inline edit runs; it can then be stopped.
    Published<bool> isSending{false};
    // What the preview shows instead of a page the dev server cannot give yet.
    Published<PreviewNotice> previewNotice{PreviewNotice::none};

    static constexpr std::size_t serverLogLimit = 500;
    static constexpr std::size_t consoleLimit = 400;
    static constexpr std::size_t thinkingQueueLimit = 40;

    // Project opening and agent tools.
    void appendSystemMessage(const std::string& text);
    // Asks both tools for their version at the same time and waits for both.
    void refreshAgentRuntimes();
    void selectAgentRuntime(AgentRuntime runtime);
    std::optional<AgentRuntime> resolvedAgentRuntime() const;
    void openProject(const FolderPicker& picker);
    // Opens a folder named by its path (the command line, a drop) as if it had been picked; a path
    // that is not a folder gets a message saying so.
    void openFolder(const std::string& path);
    Task<void> loadProject(Url folder);
    // Asks the tools for their versions first, unless told the answer is fresh.
    Task<void> planStartupCommands(bool probeAgents = true);
    static std::optional<PackageManager> inferPackageManager(const std::string& installCommand,
                                                             const std::string& devCommand);
    static std::string stackLabelFor(const ProjectContext& context);
    static AgentBootstrapPlan localStartupPlan(const ProjectContext& context);

    // Dev server, preview address, logs and versions.
    Task<void> installAndStartServer();
    void stopServer();
    void handleServerOutputLine(const std::string& line);
    void handleServerExit(int status);
    static std::optional<Url> localServerURL(const std::string& line);
    // What to do when the dev command's tool is missing, naming the folders searched.
    static std::string commandNotFoundAdvice(const std::string& searchPath);
    void loadBrowserAddress();
    static std::optional<Url> normalizedBrowserURL(const std::string& text);
    void toggleBrowserExpanded();
    // How a load of the preview ended: the preview follows the server until it answers.
    void previewLoadEnded(const PreviewLoad& load);
    void appendConsoleEntry(BrowserConsoleEntry entry);
    void copyLogs(const Clipboard& clipboard);
    Task<void> refreshVersions();
    Task<void> createVersion();
    Task<void> switchVersion(std::string name);

    // Agent requests, inline edits and the selection.
    Task<void> sendPrompt();
    Task<void> submitChangeDescription();
    Task<void> runAgentRequest(std::string text);
    // The reply to a request an agent tool carried out: its summary, then the rest of its answer.
    static std::string replyText(const AgentRunResult& result);
    static std::string composeAgentRequest(const std::string& text, const std::vector<InspectTarget>& targets);
    static std::string describeSelectedTarget(std::size_t index, const InspectTarget& target);
    Task<void> submitInlineEdit();
    static std::string inlineEditInstruction(const InspectTarget& target, const std::string& newText);
    void handleInspectSelection(const InspectTarget& target);
    void removeSelectedTarget(const std::string& selectionKey);
    // Ends every running agent tool's process group; each request then replies "Request stopped.".
    void cancelAgentRequest();

    // The thinking indicator.
    void beginThinking(const std::string& line);
    void pushThinkingLine(const std::string& line);
    void ensureThinkingTask();
    void completeAgentReply(const std::string& text, std::vector<AgentPlanStep> steps);

    // Ends whatever runs on the window's behalf: requests, planning, the install and the server.
    // For the window's close; the controller stays usable for what is left of its life.
    void shutdown();

    const std::optional<ProjectContext>& projectContext() const { return projectContext_; }
    // Progress lines accepted but not shown yet.
    const std::deque<std::string>& pendingThinkingLines() const { return thinkingQueue_; }
    const DevServerController& devServer() const { return devServerController_; }
    // True once the installed agent tools are known (the first probe has answered).
    bool agentsKnown() const { return agentsProbed_.isOpen(); }

private:
    explicit AppViewModel(AppViewModelOptions options);
    void wireDevServer();

    struct AgentVersions {
        std::optional<std::string> codex, claudeCode;
    };
    AgentVersions probeAgentVersions() const;
    void applyAgentRuntimes(const AgentVersions& versions);
    Task<void> refreshAgentRuntimesInBackground();
    Task<void> probeAgentsAtStart();
    static std::string modelLabelFor(AgentRuntime runtime);

    void appendServerLog(const std::string& line, bool trim);
    Task<AgentRunResult> runAgentTool(AgentRuntime runtime, std::string request, Url root, bool planMode,
                                      Cancellation stop);
    Task<void> runLocalAgent(std::string request, std::optional<InspectTarget> target, Url root,
                             std::optional<std::string> toolFailure);
    Task<void> applyLocalInlineEdit(InspectTarget target, std::string newText, Url root,
                                    std::optional<std::string> toolFailure);
    void reportToolFailure(const std::optional<std::string>& failure);
    Cancellation beginRequest();
    void endRequest(const Cancellation& request);
    // One run of an agent tool: its result, why it could not run, or that the user stopped it
    // (then the reply "Request stopped." is already shown).
    struct ToolRun {
        std::optional<AgentRunResult> result;
        std::optional<std::string> failure;
        bool stopped = false;
    };
    Task<ToolRun> tryAgentTool(AgentRuntime runtime, std::string request, Url root, bool planMode, Cancellation stop);
    static Task<void> runThinkingLoop(std::weak_ptr<AppViewModel> weak, Cancellation cancelled);
    // Changes the message with this id in place; false when there is none.
    bool updateMessage(const std::optional<Uuid>& id, const std::function<void(AgentMessage&)>& change);

    AppViewModelOptions options_;
    PreviewFollower previewFollower_{currentURL, loadAddressToken, previewNotice};
    ProjectBootstrapService bootstrapService_;
    DevServerController devServerController_;
    GitVersionService gitVersionService_;
    AgentService agentService_;
    CodexCLIService codexCLIService_;
    ClaudeCodeCLIService claudeCodeCLIService_;

    std::optional<ProjectContext> projectContext_;
    std::deque<std::string> thinkingQueue_;
    std::optional<Cancellation> thinkingTask_;
    bool isAgentThinking_ = false;
    std::string lastThinkingMessage_;
    std::optional<Uuid> thinkingMessageID_;

    std::vector<Cancellation> runningRequests_;
    // Opens once the tools have answered the first probe.
    Latch agentsProbed_;
    // Cancelled by shutdown: planning and the install watch it.
    Cancellation lifetime_;
};

}  // namespace tarn
