#include "workspace/AgentRequests.h"
#include "support/Translate.h"

#include "support/Text.h"
#include "workspace/RequestTexts.h"

#include <algorithm>

namespace tarn {

void AgentRequests::startFeature() {
    draftPrompt = _("Add a 3-step onboarding flow after sign-up and route users to /onboarding.");
}

namespace {

// The first line of an error's description or a request, at most 200 characters: enough to say
// why, or which.
std::string firstLineOf(const std::string& description) { return text::firstLine(description, 200); }

}  // namespace

AgentRequests::Running::Running(AgentRequests& requests) : requests_(requests) {
    requests_.running_.push_back(stop_);
    requests_.isSending = true;
}

AgentRequests::Running::~Running() {
    std::erase_if(requests_.running_, [&](const Cancellation& c) { return c == stop_; });
    requests_.isSending = !requests_.running_.empty();
}

void AgentRequests::cancel() {
    auto running = running_;
    for (auto& request : running) request.cancel();
    std::vector<Uuid> waiting;
    for (const auto& [message, pending] : pendingAnswers_) waiting.push_back(message);
    for (const auto& message : waiting) settleAnswer(message, std::nullopt);
}

void AgentRequests::answerPermission(const Uuid& message, const std::string& option) {
    auto it = pendingAnswers_.find(message);
    if (it == pendingAnswers_.end()) return;
    const auto* card = u_.chat.find(message);
    if (!card || !card->permission) return;
    const auto& options = card->permission->options;
    auto chosen = std::find_if(options.begin(), options.end(), [&](const PermissionOption& o) { return o.id == option; });
    if (chosen == options.end()) return;
    if (chosen->kind == PermissionOption::Kind::allowAlways) {
        try {
            u_.runtimes.allowAlways(it->second->asked);
        } catch (const std::exception& e) {
            u_.chat.appendSystemMessage(tr::format(_("Tarn could not keep “%1” for this project: %2"), {chosen->name, e.what()}));
        }
    }
    settleAnswer(message, option);
}

void AgentRequests::settleAnswer(const Uuid& message, std::optional<std::string> option) {
    auto it = pendingAnswers_.find(message);
    if (it == pendingAnswers_.end()) return;
    auto pending = it->second;
    pendingAnswers_.erase(it);
    u_.chat.update(message, [&](AgentMessage& m) {
        if (m.permission) m.permission->answer = option.value_or("");
    });
    pending->option = std::move(option);
    pending->done = true;
    if (auto waiter = std::exchange(pending->waiter, nullptr)) postToMain([waiter] { waiter.resume(); });
}

Task<std::optional<std::string>> AgentRequests::askPermission(PermissionRequest request, AlwaysAllowed asked) {
    const auto& allowed = *u_.runtimes.alwaysAllowed;
    if (std::find(allowed.begin(), allowed.end(), asked) != allowed.end()) {
        // The agent's own "always" answer first; it may keep it for the rest of its session.
        const PermissionOption* pick = nullptr;
        for (const auto& kind : {PermissionOption::Kind::allowAlways, PermissionOption::Kind::allowOnce}) {
            for (const auto& o : request.options) {
                if (!pick && o.kind == kind) pick = &o;
            }
        }
        if (pick) {
            const std::string id = pick->id;
            request.answer = id;
            request.note = _("Allowed without asking: you chose to always allow this in this project. Preferences can take it back.");
            AgentMessage card(AgentRole::assistant, request.title);
            card.permission = std::move(request);
            u_.chat.append(std::move(card));
            u_.thinking.keepLast();
            co_return id;
        }
    }
    AgentMessage card(AgentRole::assistant, request.title);
    card.permission = std::move(request);
    const Uuid id = card.id;
    u_.chat.append(std::move(card));
    u_.thinking.keepLast();
    auto pending = std::make_shared<PendingAnswer>();
    pending->asked = std::move(asked);
    pendingAnswers_[id] = pending;
    struct Awaiter {
        std::shared_ptr<PendingAnswer> pending;
        bool await_ready() const noexcept { return pending->done; }
        void await_suspend(std::coroutine_handle<> h) { pending->waiter = h; }
        std::optional<std::string> await_resume() { return pending->option; }
    };
    co_return co_await Awaiter{pending};
}

Task<void> AgentRequests::sendPrompt() {
    const std::string text = text::trim(*draftPrompt);
    if (text.empty()) co_return;
    auto keep = owner_.hold();
    draftPrompt = "";
    co_await runAgentRequest(text);
}

Task<void> AgentRequests::submitChangeDescription() {
    const std::string text = text::trim(*changeDescriptionDraft);
    if (text.empty()) co_return;
    auto keep = owner_.hold();
    showChangeDescription = false;
    co_await runAgentRequest(text);
}

Task<AgentRunResult> AgentRequests::runTool(const AgentTool& tool, AgentPrompt request, Url root, bool planMode, Cancellation stop) {
    // Feedback arrives on the main thread while the request (which holds the controller) awaits the
    // tool, in the order the tool printed it: its words in the thinking message, its steps and plan
    // beside them, the rest in the agent log. Taken at once: a task per line would be thousands of
    // tasks in one turn of the loop when a tool prints a burst.
    const AgentRuntime runtime = tool.runtime();
    const std::string name = displayName(runtime);
    AgentRunFeedback feedback{
        [this](const std::string& words) { u_.thinking.push(text::firstLine(words, 200)); },
        [this, name](const std::string& line) { u_.runtimes.logLine(name + ": " + line); },
        [this](const AgentStep& step) { u_.thinking.step(step); },
        [this](const std::vector<AgentPlanStep>& plan) { u_.thinking.plan(plan); },
        [this, runtime](const std::string& model) { u_.runtimes.reportModel(runtime, model); },
        [this, agent = id(runtime), project = root.path()](PermissionRequest request) {
            AlwaysAllowed asked = AlwaysAllowed::of(agent, project, request);
            return askPermission(std::move(request), std::move(asked));
        },
        [this, runtime](const std::vector<AgentCommand>& offered) { u_.runtimes.reportCommands(runtime, offered); },
    };
    co_return co_await tool.runRequest(std::move(request), std::move(root), planMode, std::move(feedback), std::move(stop));
}

Task<AgentRequests::Outcome> AgentRequests::toolThenLocal(AgentPrompt toolRequest, Url root, bool planMode, Lines lines,
                                                std::function<Task<LocalAgentResult>()> local, Cancellation stop) {
    Outcome outcome;
    co_await u_.runtimes.whenKnown();
    outcome.tool = u_.runtimes.tool();
    std::optional<std::string> toolFailure;
    if (!outcome.tool) {
        u_.thinking.begin(lines.local);
    } else {
        const std::string name = displayName(outcome.tool->runtime());
        std::optional<std::vector<std::string>> stoppedWith;
        std::string how;
        try {
            outcome.toolResult = co_await runTool(*outcome.tool, toolRequest, root, planMode, stop);
            co_return outcome;
        } catch (const AgentRunStopped& e) {
            stoppedWith = e.touchedFiles;
            how = e.how;
        } catch (const std::exception& e) {
            toolFailure = tr::format(_("%1 could not run: %2"), {name, firstLineOf(e.what())});
        }
        if (stoppedWith) {
            outcome.stopped = true;
            outcome.reply = replyStopped(*stoppedWith, how);
            co_return outcome;
        }
        u_.thinking.begin(lines.switching(name));
        u_.thinking.push(lines.local);
    }
    try {
        outcome.localResult = co_await local();
    } catch (const std::exception& e) {
        outcome.failure = e.what();
    }
    // Why the tool could not run, said once the local agent has answered.
    if (toolFailure) u_.chat.appendSystemMessage(*toolFailure);
    co_return outcome;
}

Task<void> AgentRequests::afterChange(bool refreshVersions) {
    u_.browser.reload();
    if (refreshVersions) co_await u_.versions.refresh(u_.project.root());
}

Task<bool> AgentRequests::checkpointBefore(const std::string& what, std::optional<Checkpoint>& before) {
    std::optional<std::string> failure;
    try {
        before = co_await u_.history.record(tr::format(_("Before “%1”"), {what}));
    } catch (const std::exception& e) {
        failure = e.what();
    }
    if (!failure) co_return true;
    u_.thinking.complete(tr::format(_("Nothing was changed: the project could not be recorded first. %1"), {*failure}), {});
    co_return false;
}

Task<void> AgentRequests::checkpointAfter(std::optional<Checkpoint> before, std::optional<Uuid> reply, std::string what,
                                          std::optional<std::vector<std::string>> reported) {
    if (!before) {
        if (reported) touchedFiles = std::move(*reported);
        co_return;
    }
    std::optional<std::string> failure;
    try {
        const Checkpoint after = co_await u_.history.record(tr::format(_("After “%1”"), {what}), before->tree);
        std::vector<FileChange> files = co_await u_.history.changes(before->tree, after.tree);
        std::vector<std::string> paths;
        for (const auto& f : files) paths.push_back(f.path);
        // A turn that failed leaves the last list, unless it changed something after all.
        if (reported || !paths.empty()) touchedFiles = paths;
        if (reply && !files.empty()) {
            u_.chat.update(*reply, [&](AgentMessage& m) { m.changes = ReplyChanges{before->tree, after.tree, files, false}; });
        }
    } catch (const std::exception& e) {
        failure = e.what();
    }
    if (failure) {
        if (reported) touchedFiles = std::move(*reported);
        u_.chat.appendSystemMessage(tr::format(_("The changes could not be recorded, so they cannot be undone here: %1"), {*failure}));
    }
    co_await u_.history.refresh();
}

Task<void> AgentRequests::runAgentRequest(std::string text) {
    if (!u_.project.context()) {
        u_.thinking.complete(_("Open a project first so I can inspect and edit real files."), {});
        co_return;
    }
    auto keep = owner_.hold();
    Running running(*this);
    const Url root = u_.project.context()->rootURL;
    const bool planMode = *planModeEnabled;
    const std::vector<InspectTarget> targets = *u_.selection.selectedInspectTargets;
    AgentMessage message(AgentRole::user, text);
    message.selectedTargets = targets;
    u_.chat.append(std::move(message));
    u_.thinking.begin(_("Working on it now."));

    // A plan changes nothing; anything else starts only once the project is recorded.
    const std::string what = firstLineOf(text);
    std::optional<Checkpoint> before;
    if (!planMode && !co_await checkpointBefore(what, before)) co_return;

    const std::optional<InspectTarget> target = targets.empty() ? std::nullopt : std::optional(targets.back());
    Lines lines{[](const std::string& name) { return tr::format(_("%1 unavailable, switching to local agent..."), {name}); },
                _("Using local fallback agent...")};
    auto local = [this, request = requestTexts::composeAgentRequest(text, targets), target, root, planMode] {
        return agent_.handlePrompt(request, target, planMode, root);
    };
    Outcome outcome = co_await toolThenLocal({requestTexts::composeAgentRequest(text, targets), targets}, root, planMode, lines, local,
                                             running.stop());
    if (outcome.stopped) {
        co_await checkpointAfter(before, outcome.reply, what, *touchedFiles);
        co_return;
    }
    if (outcome.toolResult) {
        const AgentRunResult& result = *outcome.toolResult;
        const std::string name = displayName(outcome.tool->runtime());
        std::string text = planMode ? result.summary : requestTexts::replyText(result);
        if (planMode) {
            if (auto note = requestTexts::refusedEditsNote(result.refusedEdits); !note.empty()) text += "\n\n" + note;
        }
        const Uuid reply = u_.thinking.complete(text, result.plan, result.steps);
        if (!result.details.empty() || !result.thoughts.empty()) {
            u_.chat.update(reply, [&](AgentMessage& m) {
                if (!result.details.empty()) m.details = tr::format(_("%1 · %2"), {name, result.details});
                m.thoughts = result.thoughts;
            });
        }
        co_await checkpointAfter(before, reply, what, result.touchedFiles);
        if (!planMode) co_await afterChange(true);
    } else if (outcome.localResult) {
        const LocalAgentResult& result = *outcome.localResult;
        const Uuid reply = u_.thinking.complete(result.message, planMode ? result.plan : std::vector<AgentPlanStep>{},
                                                localSteps(result.changedFiles));
        co_await checkpointAfter(before, reply, what, result.changedFiles);
        if (!planMode && !result.changedFiles.empty()) co_await afterChange(true);
    } else {
        const Uuid reply = u_.thinking.complete(tr::format(_("Agent failed: %1"), {outcome.failure}), {});
        co_await checkpointAfter(before, reply, what, std::nullopt);
    }
}

bool AgentRequests::canEditSelection() {
    if (!u_.project.context()) {
        u_.chat.appendSystemMessage(_("Open a project first."));
        return false;
    }
    if (!*u_.selection.selectedInspectTarget) {
        u_.chat.appendSystemMessage(_("Select an element in Inspect mode first."));
        return false;
    }
    return true;
}

Task<void> AgentRequests::submitInlineEdit() {
    if (!canEditSelection()) co_return;
    const std::string newText = text::trim(*u_.selection.inlineTextDraft);
    if (newText.empty()) {
        u_.chat.appendSystemMessage(_("Inline text cannot be empty."));
        co_return;
    }
    auto keep = owner_.hold();
    Running running(*this);
    const InspectTarget target = **u_.selection.selectedInspectTarget;
    const Url root = u_.project.context()->rootURL;

    const std::string what = tr::format(_("Inline edit: %1"), {firstLineOf(newText)});
    std::optional<Checkpoint> before;
    if (!co_await checkpointBefore(what, before)) co_return;

    // The matcher first: where it finds the one place it edits exactly, at once, and no model is
    // paid for a text replacement. The tool is asked only when the matcher refuses, and is told why.
    std::optional<LocalAgentResult> local;
    std::string refusal;
    try {
        local = co_await agent_.applyInlineEdit(target, newText, root);
    } catch (const std::exception& e) {
        refusal = e.what();
    }
    if (local) {
        u_.selection.showInlineEditor = false;
        const Uuid reply = u_.thinking.complete(local->message, {}, localSteps(local->changedFiles));
        co_await checkpointAfter(before, reply, what, local->changedFiles);
        co_await afterChange(false);
        co_return;
    }
    co_await u_.runtimes.whenKnown();
    const AgentTool* tool = u_.runtimes.tool();
    if (!tool) {
        // The dialog stays open with its text.
        const Uuid reply = u_.thinking.complete(tr::format(_("Inline edit failed: %1"), {refusal}), {});
        co_await checkpointAfter(before, reply, what, std::nullopt);
        co_return;
    }
    const std::string name = displayName(tool->runtime());
    u_.thinking.begin(tr::format(_("Asking %1 to make the edit..."), {name}));
    std::optional<AgentRunResult> result;
    std::optional<std::vector<std::string>> stoppedWith;
    std::string failure;
    try {
        result = co_await runTool(*tool, requestTexts::inlineEditInstruction(target, newText, refusal), root, false, running.stop());
    } catch (const AgentRunStopped& e) {
        stoppedWith = e.touchedFiles;
    } catch (const std::exception& e) {
        failure = tr::format(_("%1 could not run: %2"), {name, firstLineOf(e.what())});
    }
    if (stoppedWith) {
        const Uuid reply = replyStopped(*stoppedWith);
        co_await checkpointAfter(before, reply, what, *touchedFiles);
    } else if (result) {
        u_.selection.showInlineEditor = false;
        const Uuid reply = u_.thinking.complete(result->summary, result->plan, result->steps);
        co_await checkpointAfter(before, reply, what, result->touchedFiles);
        co_await afterChange(true);
    } else {
        const Uuid reply = u_.thinking.complete(tr::format(_("Inline edit failed: %1"), {failure}), {});
        co_await checkpointAfter(before, reply, what, std::nullopt);
    }
}

Task<void> AgentRequests::applyStyle(std::vector<StyleChange> changes) {
    if (!canEditSelection()) co_return;
    if (changes.empty()) co_return;
    auto keep = owner_.hold();
    Running running(*this);
    const InspectTarget target = **u_.selection.selectedInspectTarget;
    const std::filesystem::path root = u_.project.context()->rootURL.path();
    std::vector<std::string> names;
    for (const auto& c : changes) names.push_back(style::describe(c.change));
    const std::string what = tr::format(_("Style: %1"), {text::join(names, ", ")});
    std::optional<Checkpoint> checkpoint;
    if (!co_await checkpointBefore(what, checkpoint)) co_return;

    // One after the other, each reading the file as the last one left it.
    std::vector<std::string> said, files, left;
    std::string refusal;
    for (const auto& c : changes) {
        if (!refusal.empty()) {
            left.push_back(tr::format(_("the %1 to %2"), {style::describe(c.change), c.change.value}));
            continue;
        }
        try {
            auto result = co_await inBackground([=] { return style::apply(root, style::Request{target, c.change, c.before}); });
            said.push_back(result.message);
            for (const auto& f : result.files) {
                if (std::find(files.begin(), files.end(), f) == files.end()) files.push_back(f);
            }
        } catch (const std::exception& e) {
            refusal = e.what();
            left.push_back(tr::format(_("the %1 to %2"), {style::describe(c.change), c.change.value}));
        }
    }
    if (!refusal.empty()) said.push_back(tr::format(_("Style not changed: %1"), {refusal}));
    const Uuid reply = u_.thinking.complete(text::join(said, "\n"), {}, localSteps(files));
    co_await checkpointAfter(checkpoint, reply, what, files.empty() ? std::nullopt : std::optional(files));
    if (!files.empty()) co_await afterChange(false);
    if (left.empty()) co_return;
    // The rest, in words, for the agent: the user sends it or not.
    const std::string where = target.location().empty() ? std::string() : " (" + target.location() + ")";
    draftPrompt = tr::format(_("On the <%1> element%2, set %3."), {text::toLower(target.tagName), where, text::join(left, ", ")});
}

Uuid AgentRequests::replyStopped(const std::vector<std::string>& touched, const std::string& how) {
    // What the tool changed before it stopped is shown, and the page reloads if it changed.
    touchedFiles = touched;
    const Uuid reply = u_.thinking.complete(how.empty() ? std::string(_("Request stopped.")) : tr::format(_("Request stopped. %1"), {how}), {});
    if (!touched.empty()) u_.browser.reload();
    return reply;
}

std::vector<AgentStep> AgentRequests::localSteps(const std::vector<std::string>& changedFiles) {
    std::vector<AgentStep> steps;
    for (const auto& file : changedFiles) {
        steps.push_back(AgentStep{file, AgentStep::Kind::edit, tr::format(_("Editing %1"), {file}), AgentStep::Status::done});
    }
    return steps;
}

}  // namespace tarn
