#pragma once
#include "workspace/AgentRuntimes.h"
#include "workspace/AppViewModelOptions.h"
#include "workspace/Browser.h"
#include "workspace/Chat.h"
#include "workspace/Owner.h"
#include "workspace/ProjectHistory.h"
#include "workspace/ProjectSession.h"
#include "workspace/ProjectVersions.h"
#include "workspace/AgentRequests.h"
#include "workspace/Selection.h"
#include "workspace/ServerSession.h"
#include "workspace/ThinkingIndicator.h"

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

namespace tarn {

// What the folder picker is asked to show, and how it answers: one folder, or nothing.
struct FolderPickerRequest {
    std::string prompt;   // the button that accepts
    std::string message;  // the line above the folders
};
using FolderPicker = std::function<void(const FolderPickerRequest&, std::function<void(std::optional<Url>)>)>;
// Puts plain text on the clipboard.
using Clipboard = std::function<void(const std::string&)>;

// The workspace controller the window talks to: everything it shows, by the names it reads, and
// every operation it calls. Each piece of state has one owner among a few units (the agent tools,
// the chat and its thinking indicator, requests, the project, the server, the preview around it,
// versions, the selection); this façade composes them and runs the one flow that spans them,
// opening a project. It lives on the main thread; asynchronous work holds it while it runs, and
// work that arrives from elsewhere does nothing once it is gone.
class AppViewModel : public std::enable_shared_from_this<AppViewModel> {
    Owner owner_;
    AppViewModelOptions options_;
    Chat chat_;
    ThinkingIndicator thinking_{chat_, options_.thinkingIdlePoll, options_.thinkingLineDuration};
    AgentRuntimes runtimes_{owner_};
    Selection selection_;
    Browser browser_{chat_};
    ServerSession server_{owner_, chat_, browser_};
    ProjectHistory history_{owner_, chat_, browser_, options_.checkpointsFolder};
    ProjectVersions versions_{owner_, chat_, server_, browser_, history_};
    ProjectSession project_{owner_, runtimes_, chat_, options_.startupPlanLimit, options_.plansFolder};
    AgentRequests requests_{owner_, {project_, runtimes_, chat_, thinking_, selection_, browser_, versions_, server_, history_}};
    // Cancelled by shutdown: planning and the install watch it.
    Cancellation lifetime_;

public:
    // Wires the units, posts the welcome message, and asks which agent tools are installed in the
    // background: the window shows at once, and requests wait for the answers.
    static std::shared_ptr<AppViewModel> create(AppViewModelOptions options = {});
    ~AppViewModel();
    AppViewModel(const AppViewModel&) = delete;
    AppViewModel& operator=(const AppViewModel&) = delete;

    // Published state, in the window's order.
    Published<std::string>& projectPathLabel = project_.projectPathLabel;
    Published<std::string>& stackLabel = project_.stackLabel;
    Published<std::string>& browserAddress = browser_.browserAddress;
    Published<std::optional<Url>>& currentURL = browser_.currentURL;
    Published<bool>& isBrowserExpanded = browser_.isBrowserExpanded;
    Published<std::string>& installCommandLabel = project_.installCommandLabel;
    Published<std::string>& devCommandLabel = project_.devCommandLabel;
    Published<std::string>& instructionsPathLabel = project_.instructionsPathLabel;
    Published<std::string>& agentStatusLabel = runtimes_.agentStatusLabel;
    Published<std::string>& modelLabel = runtimes_.modelLabel;
    Published<RollingList<std::string>>& agentLog = runtimes_.agentLog;
    Published<std::vector<AgentRuntime>>& availableAgentRuntimes = runtimes_.availableAgentRuntimes;
    Published<AgentRuntime>& selectedAgentRuntime = runtimes_.selectedAgentRuntime;
    Published<ServerRuntimeState>& serverState = server_.serverState;
    Published<RollingList<std::string>>& serverLogLines = server_.serverLogLines;
    Published<bool>& inspectModeEnabled = selection_.inspectModeEnabled;
    Published<std::optional<InspectTarget>>& selectedInspectTarget = selection_.selectedInspectTarget;
    Published<std::vector<InspectTarget>>& selectedInspectTargets = selection_.selectedInspectTargets;
    Published<Uuid>& inspectSelectionPulseToken = selection_.inspectSelectionPulseToken;
    Published<std::string>& routeLabel = browser_.routeLabel;
    Published<std::vector<VersionItem>>& versions = versions_.versions;
    Published<std::string>& newVersionName = versions_.newVersionName;
    Published<RollingList<BrowserConsoleEntry>>& consoleEntries = browser_.consoleEntries;
    Published<bool>& planModeEnabled = requests_.planModeEnabled;
    PublishedList<AgentMessage>& messages = chat_.messages;
    Published<std::string>& draftPrompt = requests_.draftPrompt;
    Published<std::vector<std::string>>& touchedFiles = requests_.touchedFiles;
    Published<std::string>& inlineTextDraft = selection_.inlineTextDraft;
    Published<bool>& showInlineEditSheet = selection_.showInlineEditSheet;
    Published<std::string>& inlineEditNotice = selection_.inlineEditNotice;
    Published<std::string>& changeDescriptionDraft = requests_.changeDescriptionDraft;
    Published<bool>& showChangeDescriptionSheet = requests_.showChangeDescriptionSheet;
    Published<bool>& isSending = requests_.isSending;
    Published<PreviewNotice>& previewNotice = browser_.previewNotice;
    Published<DeviceWidth>& deviceWidth = browser_.deviceWidth;
    // The user's own editor command ("{file}", "{line}"); empty for the desktop's default.
    Published<std::string> editorCommand;
    Published<std::vector<Checkpoint>>& checkpoints = history_.checkpoints;
    Published<std::optional<ChangeReview>>& changeReview = history_.review;
    // The latest passing notice: the window shows it for a moment.
    Published<std::optional<Notice>>& notice = chat_.notice;

    // The agent tools and opening a project.
    void appendSystemMessage(const std::string& text) { chat_.appendSystemMessage(text); }
    void refreshAgentRuntimes() { runtimes_.refresh(); }
    void selectAgentRuntime(AgentRuntime runtime) { runtimes_.select(runtime); }
    void openProject(const FolderPicker& picker);
    // A folder named by its path (the command line, a drop), as if it had been picked; a path that
    // is not a folder gets a message saying so.
    void openFolder(const std::string& path);
    Task<void> loadProject(Url folder);
    // Asks the tools for their versions first, unless told the answer is fresh.
    Task<void> planStartupCommands(bool probeAgents = true) { return project_.planStartupCommands(probeAgents, lifetime_); }

    // The dev server, the preview's address and logs, versions.
    Task<void> installAndStartServer();
    void stopServer() { server_.stop(); }
    void handleServerOutputLine(const std::string& line) { server_.handleOutputLine(line); }
    void handleServerExit(int status) { server_.handleExit(status); }
    void loadBrowserAddress() { browser_.loadTypedAddress(); }
    void reloadPreview() { browser_.reload(); }
    void toggleBrowserExpanded() { browser_.toggleExpanded(); }
    // The page laid out at a device's width, remembered for the project.
    void setDeviceWidth(DeviceWidth width);
    // How a load of the preview ended: the preview follows the server until it answers.
    void previewLoadEnded(const PreviewLoad& load) { browser_.loadEnded(load); }
    void appendConsoleEntry(BrowserConsoleEntry entry) { browser_.appendConsoleEntry(std::move(entry)); }
    void copyLogs(const Clipboard& clipboard);
    // A console or server line that reports an error, as a request in the composer (not sent):
    // the error, the route, and the project's file and line it names.
    void askAgentToFix(const std::string& line);
    Task<void> refreshVersions() { return versions_.refresh(project_.root()); }
    Task<void> createVersion() { return versions_.create(project_.root()); }
    Task<void> switchVersion(std::string name) { return versions_.switchTo(std::move(name), project_.root()); }

    // Agent requests, inline edits and the selection.
    Task<void> sendPrompt() { return requests_.sendPrompt(); }
    // The sheet that describes a change in words, opened empty.
    void openChangeDescription() {
        requests_.changeDescriptionDraft = "";
        requests_.showChangeDescriptionSheet = true;
    }
    Task<void> submitChangeDescription() { return requests_.submitChangeDescription(); }
    Task<void> submitInlineEdit() { return requests_.submitInlineEdit(); }
    // A click the page reported; a selected element is then located in the background.
    void handleInspectSelection(const InspectTarget& target);
    // The inline editor on the latest selected element.
    void editSelectedInline() {
        if (*selection_.selectedInspectTarget) selection_.editInline(**selection_.selectedInspectTarget);
    }
    void removeSelectedTarget(const std::string& key) { selection_.removeSelectedTarget(key); }
    // The selected element's source file in the user's editor, at its line.
    Task<void> openInEditor(std::string selectionKey);
    void setEditorCommand(std::string command);
    void cancelAgentRequest() { requests_.cancel(); }

    // Checkpoints: a reply's changes taken back, made again and reviewed, and the history.
    Task<void> undoReply(Uuid reply) { return history_.undo(reply); }
    Task<void> redoReply(Uuid reply) { return history_.redo(reply); }
    Task<void> reviewReply(Uuid reply) { return history_.showReview(reply); }
    void closeReview() { history_.closeReview(); }
    Task<void> refreshCheckpoints() { return history_.refresh(); }
    Task<void> restoreCheckpoint(std::string id) { return history_.restore(std::move(id)); }
    // Resolves a reply by the text form of its id (how the window's actions name it).
    std::optional<Uuid> messageID(const std::string& text) const;

    // The thinking indicator.
    void beginThinking(const std::string& line) { thinking_.begin(line); }
    void pushThinkingLine(const std::string& line) { thinking_.push(line); }
    void completeAgentReply(const std::string& text, std::vector<AgentPlanStep> steps) { thinking_.complete(text, std::move(steps)); }
    const std::deque<std::string>& pendingThinkingLines() const { return thinking_.pending(); }

    // Ends whatever runs on the window's behalf: requests, planning, the install and the server.
    // For the window's close; the controller stays usable for what is left of its life.
    void shutdown();
    // Waits, without blocking, until the processes shutdown ended are gone: at most the grace a
    // process gets before it is killed, and a little more.
    static Task<void> processesEnded();

    // The units, for the views that show one of them.
    Browser& browser() { return browser_; }

    const std::optional<ProjectContext>& projectContext() const { return project_.context(); }
    const DevServerController& devServer() const { return server_.controller(); }
    // True once the installed agent tools are known (the first probe has answered).
    bool agentsKnown() const { return runtimes_.known(); }

private:
    explicit AppViewModel(AppViewModelOptions options) : options_(options) {}
    // Writes a setting on a worker thread; a failure is said with the pattern (%1: why), or not at all.
    void saveSetting(std::string group, std::string key, std::string value, const char* failurePattern);
    std::map<std::string, DeviceWidth> chosenWidths_;
};

}  // namespace tarn
