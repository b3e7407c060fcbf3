#pragma once
#include "agents/AgentService.h"
#include "agents/AgentTool.h"
#include "agents/style/StyleEdit.h"
#include "support/Published.h"
#include "support/Task.h"
#include "workspace/AgentRuntimes.h"
#include "workspace/Browser.h"
#include "workspace/Chat.h"
#include "workspace/Owner.h"
#include "workspace/ProjectHistory.h"
#include "workspace/ProjectSession.h"
#include "workspace/ProjectVersions.h"
#include "workspace/Selection.h"
#include "workspace/ServerSession.h"
#include "workspace/ThinkingIndicator.h"

#include <coroutine>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tarn {

// Changes asked of the agents: requests typed in the composer or the change-description dialog,
// and inline edits of a selected element's text. Each goes to the agent tool in use and, when the
// tool cannot carry it out, to the local agent; any of them can be stopped.
class AgentRequests {
public:
    struct Units {
        ProjectSession& project;
        AgentRuntimes& runtimes;
        Chat& chat;
        ThinkingIndicator& thinking;
        Selection& selection;
        Browser& browser;
        ProjectVersions& versions;
        ServerSession& server;
        ProjectHistory& history;
    };
    AgentRequests(const Owner& owner, Units units) : owner_(owner), u_(units) {}

    Published<bool> planModeEnabled{false};
    Published<std::string> draftPrompt;
    Published<std::vector<std::string>> touchedFiles;
    Published<std::string> changeDescriptionDraft;
    Published<bool> showChangeDescription{false};
    // True while a request or an inline edit runs; it can then be stopped.
    Published<bool> isSending{false};

    Task<void> sendPrompt();
    // The composer filled with a feature to plan, in the user's language.
    void startFeature();
    // The dialog that describes a change in words, opened empty.
    void openChangeDescription() {
        changeDescriptionDraft = "";
        showChangeDescription = true;
    }
    Task<void> submitChangeDescription();
    Task<void> runAgentRequest(std::string text);
    Task<void> submitInlineEdit();
    // Style changes of the selected element, written into its source by Tarn itself (no agent),
    // between two checkpoints, with a reply that Undo and Review work on. When one cannot be
    // written safely the reply says why and the composer holds the changes left in words, for the
    // agent. Each comes with the value the page showed before.
    struct StyleChange {
        style::Change change;
        std::string before;
    };
    Task<void> applyStyle(std::vector<StyleChange> changes);
    // Ends every running agent tool's process group; each request then replies "Request stopped.".
    // Questions an agent is waiting on are answered "cancelled".
    void cancel();
    // The user's answer to an agent's question, from its card: one of the options it offered.
    void answerPermission(const Uuid& message, const std::string& option);

private:
    // One request's life: it counts among those running, and `isSending` says so, until it ends,
    // whichever way it ends.
    class Running {
    public:
        explicit Running(AgentRequests& requests);
        ~Running();
        Running(const Running&) = delete;
        Running& operator=(const Running&) = delete;
        const Cancellation& stop() const { return stop_; }

    private:
        AgentRequests& requests_;
        Cancellation stop_;
    };

    // The indicator's lines along the way, by the tool's name.
    struct Lines {
        std::function<std::string(const std::string&)> switching;
        std::string local;
    };
    // How it went: what the tool or the local agent gave, why neither could, or that the user
    // stopped it (the indicator then already says so).
    struct Outcome {
        const AgentTool* tool = nullptr;
        std::optional<AgentRunResult> toolResult;
        std::optional<LocalAgentResult> localResult;
        std::string failure;
        bool stopped = false;
        std::optional<Uuid> reply;  // when stopped: the reply that says so
    };
    // The tool (when there is one), then the local agent when the tool could not run.
    Task<Outcome> toolThenLocal(AgentPrompt toolRequest, Url root, bool planMode, Lines lines,
                                std::function<Task<LocalAgentResult>()> local, Cancellation stop);
    Task<AgentRunResult> runTool(const AgentTool& tool, AgentPrompt request, Url root, bool planMode, Cancellation stop);
    Task<void> afterChange(bool refreshVersions);
    // An open project and a selected element, or a chat line that says which is missing.
    bool canEditSelection();
    // The reply to a tool stopped by the user, with the files it had changed and how it stopped.
    Uuid replyStopped(const std::vector<std::string>& touched, const std::string& how = {});
    // Shows an agent's question as a card in the transcript and waits for the answer.
    // What the user allowed for good answers without a question.
    Task<std::optional<std::string>> askPermission(PermissionRequest request, AlwaysAllowed asked);
    struct PendingAnswer {
        AlwaysAllowed asked;  // what "Always allow" would keep
        std::optional<std::string> option;
        bool done = false;
        std::coroutine_handle<> waiter;
    };
    void settleAnswer(const Uuid& message, std::optional<std::string> option);
    // The local agent's steps: the files it edited.
    static std::vector<AgentStep> localSteps(const std::vector<std::string>& changedFiles);
    // Records the working tree before a change; false (the reply says why) when it cannot, and
    // the change must not start.
    Task<bool> checkpointBefore(const std::string& what, std::optional<Checkpoint>& before);
    // Records it after: the files between the two are the turn's, shown as touched and kept with
    // the reply for its Undo. Without a record before, the tool's own list is shown; a turn that
    // failed (no list) leaves the last one unless it changed files.
    Task<void> checkpointAfter(std::optional<Checkpoint> before, std::optional<Uuid> reply, std::string what,
                               std::optional<std::vector<std::string>> reported);

    const Owner& owner_;
    Units u_;
    AgentService agent_;
    std::vector<Cancellation> running_;
    std::map<Uuid, std::shared_ptr<PendingAnswer>> pendingAnswers_;
};

}  // namespace tarn
