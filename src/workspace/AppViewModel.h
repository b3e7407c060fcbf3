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
    std::string acceptLabel;
    std::string title;
};
using FolderPicker = std::function<void(const FolderPickerRequest&, std::function<void(std::optional<Url>)>)>;
// Puts plain text on the clipboard.
using Clipboard = std::function<void(const std::string&)>;

// The workspace controller the window holds. Each piece of state has one owner among a few units
// (the agent tools, the chat and its thinking indicator, requests, the project, the server, the
// preview around it, versions, history, the selection); a view takes the unit it shows. The
// controller composes them and runs the flows that span them: opening a project, the selection's
// location, settings. It lives on the main thread; asynchronous work holds it while it runs, and
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

    // The user's own editor command ("{file}", "{line}"); empty for the desktop's default.
    Published<std::string> editorCommand;

    // The units, for the views that show them: each owns its state and its operations.
    ProjectSession& project() { return project_; }
    AgentRuntimes& runtimes() { return runtimes_; }
    Chat& chat() { return chat_; }
    ThinkingIndicator& thinking() { return thinking_; }
    Selection& selection() { return selection_; }
    Browser& browser() { return browser_; }
    ServerSession& server() { return server_; }
    ProjectVersions& versions() { return versions_; }
    AgentRequests& requests() { return requests_; }
    ProjectHistory& history() { return history_; }

    // The agent tools and opening a project.
    void openProject(const FolderPicker& picker);
    // A folder named by its path (the command line, a drop), as if it had been picked; a path that
    // is not a folder gets a message saying so.
    void openFolder(const std::string& path);
    Task<void> loadProject(Url folder);
    // Asks the tools for their versions first, unless told the answer is fresh.
    Task<void> planStartupCommands(bool probeAgents = true) { return project_.planStartupCommands(probeAgents, lifetime_); }

    // The dev server, the preview's address and logs, versions.
    Task<void> installAndStartServer();
    // The page laid out at a device's width, remembered for the project.
    void setDeviceWidth(DeviceWidth width);
    void copyLogs(const Clipboard& clipboard);
    // A console or server line that reports an error, as a request in the composer (not sent):
    // the error, the route, and the project's file and line it names.
    void askAgentToFix(const std::string& line);
    Task<void> refreshVersions() { return versions_.refresh(project_.root()); }
    Task<void> createVersion() { return versions_.create(project_.root()); }
    Task<void> switchVersion(std::string name) { return versions_.switchTo(std::move(name), project_.root()); }

    // A click the page reported; a selected element is then located in the background.
    void handleInspectSelection(const InspectTarget& target);
    // A CSS property tried on the selected element in the preview, before it is written; and every
    // one tried taken back.
    void tryStyle(const std::string& property, const std::string& value);
    void takeBackStyles() { browser_.takeBackStyles(); }
    // The selected element's source file in the user's editor, at its line.
    Task<void> openInEditor(std::string selectionKey);
    // A place an agent named ("src/App.jsx:12"), when it is inside the project.
    Task<void> openLocation(std::string location);
    void setEditorCommand(std::string command);
    // The sandbox of what projects run, turned off for every project or for the open one ("it
    // needs my home folder"); either takes effect when the server next starts.
    bool sandboxOffEverywhere() const;
    void setSandboxOffEverywhere(bool off);
    bool sandboxOffForProject() const;
    void setSandboxOffForProject(bool off);
    bool agentToolsSandboxed() const;
    void setAgentToolsSandboxed(bool on);

    // Resolves a reply by the text form of its id (how the window's actions name it).
    std::optional<Uuid> messageID(const std::string& text) const;

    // Ends whatever runs on the window's behalf: requests, planning, the install and the server.
    // For the window's close; the controller stays usable for what is left of its life.
    void shutdown();
    // Waits, without blocking, until the processes shutdown ended are gone: at most the grace a
    // process gets before it is killed, and a little more.
    static Task<void> processesEnded();

    const std::optional<ProjectContext>& projectContext() const { return project_.context(); }
    // True once the installed agent tools are known (the first probe has answered).
    bool agentsKnown() const { return runtimes_.known(); }

private:
    Task<void> openFile(std::filesystem::path file, int line);
    explicit AppViewModel(AppViewModelOptions options) : options_(options) {}
    // Writes a setting on a worker thread; a failure is said with the pattern (%1: why), or not at all.
    void saveSetting(std::string group, std::string key, std::string value, const char* failurePattern);
    // Writes a sandbox setting now (the next start reads it); a failure is said in the chat.
    void saveSandboxSetting(const std::function<void()>& write);
    std::map<std::string, DeviceWidth> chosenWidths_;
};

}  // namespace tarn
