#include "agents/acp/AcpAgent.h"
#include "agents/acp/AcpUpdates.h"
#include "support/Translate.h"

#include "agents/AgentToolError.h"
#include "agents/AgentToolSupport.h"
#include "agents/ProjectFiles.h"
#include "process/ProcessEnvironment.h"
#include "process/Sandbox.h"
#include "support/MainLoop.h"
#include "support/Settings.h"
#include "support/Text.h"

#include <algorithm>
#include <filesystem>
#include <functional>
#include <unordered_map>
#include <glib.h>

namespace tarn {

using acp::stringOf;
using acp::textOf;

const std::vector<AcpAgentEntry>& knownAcpAgents() {
    static const std::vector<AcpAgentEntry> agents{
        {"Gemini CLI", "gemini", {"--acp"}, {}},
        {"Qwen Code", "qwen", {"--acp"}, {}},
        {"OpenCode", "opencode", {"acp"}, {}},
        {"Goose", "goose", {"acp"}, {}},
        {"GitHub Copilot", "copilot", {"--acp"}, {}},
        {"Claude Code (ACP)", "claude-code-acp", {}, {}},
        {"Codex (ACP)", "codex-acp", {}, {}},
    };
    return agents;
}

namespace {

// A command given as a path is taken as it is; a name is looked up on the search path.
std::optional<std::string> locate(const std::string& command) {
    if (command.find('/') != std::string::npos) {
        return g_file_test(command.c_str(), G_FILE_TEST_IS_EXECUTABLE) ? std::optional(command) : std::nullopt;
    }
    // Many agents are offered and most are not installed: no `which` child for each of them.
    return ProcessEnvironment::findExecutable(command, ProcessEnvironment::fixedToolPaths(command));
}

bool writes(AgentStep::Kind kind) { return kind == AgentStep::Kind::edit || kind == AgentStep::Kind::run; }

}  // namespace


// One agent process and its session for one project, and the turn in progress.
struct AcpAgent::Connection {
    struct Turn {
        AgentRunFeedback feedback;
        bool planMode = false;
        bool readOnlyByMode = false;
        bool afterToolCall = false;
        bool thoughtPaused = false;  // words or a tool call came since the last thought
        std::string answer = {}, pendingWords = {}, thoughts = {};
        std::vector<AgentStep> steps = {};
        std::unordered_map<std::string, std::size_t> stepPositions = {};  // steps by the agent's id
        std::vector<AgentPlanStep> plan = {};
        std::vector<std::string> refusedEdits = {};
        std::vector<std::string> autoRejected = {};
    };

    std::string name, root;
    std::shared_ptr<acp::JsonRpcPeer> peer;
    std::string sessionId;
    json::Json modes = json::Json::object();
    std::vector<AgentCommand> commands;
    Turn* turn = nullptr;

    void update(const json::Json& params);
    void words(const std::string& chunk);
    Task<void> askPermission(json::Json id, json::Json params);
};

void AcpAgent::Connection::words(const std::string& chunk) {
    // The agent's words come a few at a time; the thinking message shows them a line at a time.
    turn->pendingWords += chunk;
    auto newline = turn->pendingWords.rfind('\n');
    if (newline == std::string::npos && turn->pendingWords.size() < 160) return;
    const std::string ready = newline == std::string::npos ? turn->pendingWords : turn->pendingWords.substr(0, newline);
    turn->pendingWords = newline == std::string::npos ? std::string() : turn->pendingWords.substr(newline + 1);
    const auto lines = text::splitLines(ready);
    for (auto it = lines.rbegin(); it != lines.rend(); ++it) {
        if (auto line = text::trim(*it); !line.empty()) {
            if (turn->feedback.progress) turn->feedback.progress(line);
            break;
        }
    }
}

void AcpAgent::Connection::update(const json::Json& params) {
    const json::Json& update = params.contains("update") && params["update"].is_object() ? params["update"] : json::Json::object();
    const std::string kind = stringOf(update, "sessionUpdate");
    // The session's commands may come between turns, even before session/new has answered with
    // the session's id (the Claude Code adapter's do): kept, and told with the next turn.
    if (kind == "available_commands_update" && (sessionId.empty() || stringOf(params, "sessionId") == sessionId)) {
        commands = acp::commandsOf(update);
        if (turn && turn->feedback.commands) turn->feedback.commands(commands);
        return;
    }
    if (!turn || stringOf(params, "sessionId") != sessionId) return;
    auto& fb = turn->feedback;
    if (kind == "agent_message_chunk") {
        const std::string chunk = textOf(update.value("content", json::Json()));
        if (chunk.empty()) return;  // the Claude Code adapter opens each message with one
        // Words after a tool call or a plan begin a new paragraph of the answer.
        if (turn->afterToolCall && !turn->answer.empty()) turn->answer += "\n\n";
        turn->afterToolCall = false;
        turn->thoughtPaused = true;
        turn->answer += chunk;
        words(chunk);
    } else if (kind == "agent_thought_chunk") {
        const std::string chunk = textOf(update.value("content", json::Json()));
        agenttools::keepThought(turn->thoughts, chunk, !std::exchange(turn->thoughtPaused, false));
        words(chunk);
    } else if (kind == "tool_call" || kind == "tool_call_update") {
        turn->afterToolCall = true;
        turn->thoughtPaused = true;
        const std::string id = stringOf(update, "toolCallId");
        auto known = id.empty() ? turn->stepPositions.end() : turn->stepPositions.find(id);
        if (known != turn->stepPositions.end()) {
            AgentStep& step = turn->steps[known->second];
            step = acp::applyToolCall(std::move(step), update, root);
            if (fb.step) fb.step(step);
        } else {
            if (!id.empty()) turn->stepPositions[id] = turn->steps.size();
            turn->steps.push_back(acp::applyToolCall({}, update, root));
            if (fb.step) fb.step(turn->steps.back());
        }
    } else if (kind == "plan") {
        turn->afterToolCall = true;
        turn->plan = acp::planOf(update);
        if (fb.plan) fb.plan(turn->plan);
    } else if (kind == "current_mode_update") {
        modes["currentModeId"] = stringOf(update, "currentModeId");
    }
    // Other updates (commands, user message echoes, kinds newer than Tarn) are left alone.
}

Task<void> AcpAgent::Connection::askPermission(json::Json id, json::Json params) {
    auto keep = peer;
    auto answer = [&](std::optional<std::string> option) {
        keep->respond(id, option ? json::Json{{"outcome", {{"outcome", "selected"}, {"optionId", *option}}}}
                                 : json::Json{{"outcome", {{"outcome", "cancelled"}}}});
    };
    if (!turn || stringOf(params, "sessionId") != sessionId) {
        answer(std::nullopt);
        co_return;
    }
    AgentStep known;
    if (auto call = params.find("toolCall"); call != params.end() && call->is_object()) {
        if (auto same = turn->stepPositions.find(stringOf(*call, "toolCallId")); same != turn->stepPositions.end()) {
            known = turn->steps[same->second];
        }
    }
    PermissionRequest request = acp::permissionOf(params, root, std::move(known));
    if (turn->planMode && !turn->readOnlyByMode && writes(request.kind)) {
        // Plan Mode without a read-only mode of the agent's: Tarn refuses every edit and command.
        auto reject = std::find_if(request.options.begin(), request.options.end(),
                                   [](const PermissionOption& o) { return o.kind == PermissionOption::Kind::rejectOnce; });
        if (reject == request.options.end()) {
            reject = std::find_if(request.options.begin(), request.options.end(), [](const PermissionOption& o) { return !o.allows(); });
        }
        if (request.kind == AgentStep::Kind::edit) {
            if (request.locations.empty()) turn->refusedEdits.push_back("");
            for (const auto& where : request.locations) turn->refusedEdits.push_back(where.substr(0, where.rfind(':') == std::string::npos ? where.size() : where.rfind(':')));
        } else {
            turn->autoRejected.push_back(request.command.empty() ? request.title : request.command);
        }
        answer(reject != request.options.end() ? std::optional(reject->id) : std::nullopt);
        co_return;
    }
    auto ask = turn->feedback.permission;
    if (!ask) {
        answer(std::nullopt);
        co_return;
    }
    std::optional<std::string> chosen = co_await ask(std::move(request));
    answer(chosen);
}

AcpAgent::AcpAgent(AcpAgentEntry entry) : entry_(std::move(entry)) {}

AcpAgent::~AcpAgent() {
    for (auto& [root, connection] : connections_) connection->peer->end();
}

std::optional<std::string> AcpAgent::detectVersion() const { return locate(entry_.command); }

Task<AgentBootstrapPlan> AcpAgent::proposeStartupPlan(ProjectContext, std::chrono::milliseconds, std::optional<Cancellation>) const {
    throw AgentToolError(tr::format(_("%1 does not plan start-ups."), {entry_.name}));
    co_return AgentBootstrapPlan{};
}

namespace {

std::string sessionKey(const std::string& agent, const std::string& root) {
    return std::to_string(std::hash<std::string>{}(agent + "\n" + root));
}

}  // namespace

Task<std::shared_ptr<AcpAgent::Connection>> AcpAgent::connect(Url projectRoot, AgentRunFeedback& feedback) const {
    const std::string root = projectRoot.path();
    if (auto it = connections_.find(root); it != connections_.end()) {
        if (it->second->peer->isOpen()) co_return it->second;
        connections_.erase(it);
    }
    auto executable = locate(entry_.command);
    if (!executable) {
        throw AgentToolError(tr::format(_("%1 is not installed: “%2” is not on the search path."), {entry_.name, entry_.command}));
    }
    ChildOptions options;
    options.arguments.push_back(*executable);
    options.arguments.insert(options.arguments.end(), entry_.arguments.begin(), entry_.arguments.end());
    options.workingDirectory = root;
    options.environment = ProcessEnvironment::augmentedEnvironment();
    for (const auto& [key, value] : entry_.environment) options.environment[key] = value;
    if (sandbox::agentToolsWanted()) options.arguments = sandbox::wrapAgentTool(options.arguments, root, options.environment);

    auto connection = std::make_shared<Connection>();
    connection->name = entry_.name;
    connection->root = root;
    std::weak_ptr<Connection> weak = connection;
    acp::JsonRpcPeer::Handlers handlers;
    handlers.notification = [weak](const std::string& method, const json::Json& params) {
        auto self = weak.lock();
        if (self && method == "session/update") self->update(params);
    };
    handlers.request = [weak](const json::Json& id, const std::string& method, const json::Json& params) {
        auto self = weak.lock();
        if (!self) return;
        if (method == "session/request_permission") spawnNow(self->askPermission(id, params));
        else self->peer->fail(id, acp::JsonRpcPeer::methodNotFound, "Method not found: " + method);
    };
    handlers.log = [weak](const std::string& line) {
        auto self = weak.lock();
        if (self && self->turn && self->turn->feedback.log) self->turn->feedback.log(line);
    };
    try {
        connection->peer = acp::JsonRpcPeer::start(std::move(options), std::move(handlers));
    } catch (const std::exception& e) {
        throw AgentToolError(tr::format(_("%1 could not start: %2"), {entry_.name, e.what()}));
    }
    // Its standard error reaches the log while it sets up, too; a loaded session's history, which
    // the agent replays as updates, is not this request's.
    AgentRunFeedback quiet;
    quiet.log = feedback.log;
    quiet.commands = feedback.commands;
    Connection::Turn setup{quiet};
    connection->turn = &setup;
    struct Clear {
        Connection& c;
        ~Clear() { c.turn = nullptr; }
    } clear{*connection};

    json::Json init;
    try {
        json::Json params{{"protocolVersion", protocolVersion},
                          {"clientCapabilities", {{"fs", {{"readTextFile", false}, {"writeTextFile", false}}}, {"terminal", false}}},
                          {"clientInfo", {{"name", "tarn"}, {"title", "Tarn"}, {"version", "1"}}}};
        init = co_await connection->peer->call("initialize", std::move(params), setupLimit);
    } catch (const std::exception& e) {
        connection->peer->end();
        throw AgentToolError(tr::format(_("%1 did not start a session: %2"), {entry_.name, e.what()}));
    }
    if (init.value("protocolVersion", 0) != protocolVersion) {
        connection->peer->end();
        throw AgentToolError(tr::format(_("%1 speaks protocol version %2; Tarn speaks version 1."),
                                        {entry_.name, init.contains("protocolVersion") ? init["protocolVersion"].dump() : std::string("?")}));
    }
    const json::Json capabilities = init.value("agentCapabilities", json::Json::object());
    const bool canLoad = capabilities.is_object() && capabilities.value("loadSession", false);
    const json::Json authMethods = init.value("authMethods", json::Json::array());

    const std::string key = sessionKey(entry_.name, root);
    json::Json session;
    std::optional<std::string> failure;
    if (canLoad) {
        if (auto remembered = settings::get("AgentSessions", key)) {
            try {
                session = co_await connection->peer->call("session/load", {{"sessionId", *remembered}, {"cwd", root}, {"mcpServers", json::Json::array()}}, setupLimit);
                if (!session.is_object()) session = json::Json::object();
                session["sessionId"] = *remembered;
            } catch (const std::exception&) {
                session = nullptr;  // a session the agent no longer has: a new one
            }
        }
    }
    if (session.is_null()) {
        try {
            session = co_await connection->peer->call("session/new", {{"cwd", root}, {"mcpServers", json::Json::array()}}, setupLimit);
        } catch (const acp::JsonRpcError& e) {
            // Signed out. Its sign-in methods may open a browser or ask in a terminal: the user
            // signs in there, told how, in the agent's words.
            const bool authRequired = e.code == -32000 || text::contains(text::toLower(e.what()), "auth");
            std::vector<std::string> methods;
            if (authMethods.is_array()) {
                for (const auto& m : authMethods) {
                    if (auto name = stringOf(m, "name"); !name.empty()) methods.push_back(name);
                }
            }
            failure = !authRequired ? std::string(e.what())
                      : methods.empty()
                          ? tr::format(_("%1 needs you to sign in (%2): run “%3” once in a terminal, then try again."),
                                       {entry_.name, e.what(), entry_.command})
                          : tr::format(_("%1 needs you to sign in (%2): run “%3” once in a terminal and sign in with one of: %4. Then try again."),
                                       {entry_.name, e.what(), entry_.command, text::join(methods, ", ")});
        } catch (const std::exception& e) {
            failure = e.what();
        }
    }
    if (failure || !session.is_object() || stringOf(session, "sessionId").empty()) {
        connection->peer->end();
        if (failure && text::contains(*failure, entry_.command)) throw AgentToolError(*failure);
        throw AgentToolError(tr::format(_("%1 did not start a session: %2"), {entry_.name, failure.value_or(_("it gave no session id"))}));
    }
    connection->sessionId = stringOf(session, "sessionId");
    if (session.contains("modes") && session["modes"].is_object()) connection->modes = session["modes"];
    if (canLoad) {
        try {
            settings::set("AgentSessions", key, connection->sessionId);
        } catch (const std::exception&) {
            // Not remembered: the next launch starts a new session.
        }
    }
    connections_[root] = connection;
    co_return connection;
}

Task<AgentRunResult> AcpAgent::runRequest(AgentPrompt request, Url projectRoot, bool planMode, AgentRunFeedback feedback,
                                          std::optional<Cancellation> cancellation) const {
    auto listing = agenttools::changedFilesOrNone(projectRoot);
    auto before = co_await listing;
    auto connection = co_await connect(projectRoot, feedback);
    auto peer = connection->peer;
    const std::string root = projectRoot.path();

    Connection::Turn turn{feedback};
    turn.planMode = planMode;
    connection->turn = &turn;
    if (!connection->commands.empty() && feedback.commands) feedback.commands(connection->commands);
    struct Clear {
        Connection& c;
        ~Clear() { c.turn = nullptr; }
    } clear{*connection};

    // Plan Mode: the agent's own read-only mode when it has one.
    std::optional<std::string> previousMode;
    if (planMode) {
        if (auto mode = acp::readOnlyMode(connection->modes)) {
            try {
                co_await peer->call("session/set_mode", {{"sessionId", connection->sessionId}, {"modeId", *mode}}, setupLimit);
                previousMode = stringOf(connection->modes, "currentModeId");
                connection->modes["currentModeId"] = *mode;
                turn.readOnlyByMode = true;
            } catch (const std::exception& e) {
                if (feedback.log) feedback.log(tr::format(_("Could not switch to the agent's mode “%1”: %2"), {*mode, e.what()}));
            }
        }
    }

    // Stop: ask the agent; end it when its turn has not ended in a few seconds.
    auto done = std::make_shared<bool>(false);
    auto ended = std::make_shared<bool>(false);
    int watch = -1;
    if (cancellation) {
        watch = cancellation->watch([weak = std::weak_ptr<acp::JsonRpcPeer>(peer), id = connection->sessionId, done, ended] {
            postToMain([weak, id, done, ended] {
                auto peer = weak.lock();
                if (!peer || *done) return;
                peer->notify("session/cancel", {{"sessionId", id}});
                spawn([](std::weak_ptr<acp::JsonRpcPeer> weak, std::shared_ptr<bool> done, std::shared_ptr<bool> ended) -> Task<void> {
                    co_await sleepFor(stopGrace);
                    auto peer = weak.lock();
                    if (!peer || *done) co_return;
                    *ended = true;
                    peer->end();
                }(weak, done, ended));
            });
        });
    }

    json::Json prompt = json::Json::array({{{"type", "text"}, {"text", request.text}}});
    // Each selected element as a link to the place in its source it comes from.
    for (const auto& target : request.selected) {
        if (target.fileGuess.empty() || !projectfiles::resolvesInside(std::filesystem::path(root) / target.fileGuess, root)) continue;
        std::string uri = projectRoot.appending(target.fileGuess).string();
        if (target.line > 0) uri += "#L" + std::to_string(target.line);
        std::string described = "<" + target.tagName + ">";
        if (!target.textSnippet.empty()) described += " “" + text::firstLine(target.textSnippet, 120) + "”";
        prompt.push_back({{"type", "resource_link"}, {"uri", uri}, {"name", target.location()},
                          {"description", tr::format(_("The selected element %1"), {described})}});
    }
    json::Json result;
    std::optional<std::string> failure;
    bool gone = false;
    try {
        result = co_await peer->call("session/prompt", {{"sessionId", connection->sessionId}, {"prompt", std::move(prompt)}});
    } catch (const acp::PeerGone& e) {
        failure = e.what();
        gone = true;
    } catch (const std::exception& e) {
        failure = e.what();
    }
    *done = true;
    if (cancellation && watch >= 0) cancellation->unwatch(watch);
    if (previousMode && !gone) {
        try {
            co_await peer->call("session/set_mode", {{"sessionId", connection->sessionId}, {"modeId", *previousMode}}, setupLimit);
            connection->modes["currentModeId"] = *previousMode;
        } catch (const std::exception&) {
            connections_.erase(root);  // a session stuck in the read-only mode is not used again
            peer->end();
        }
    }
    if (gone || !peer->isOpen()) connections_.erase(root);

    if (cancellation && cancellation->isCancelled()) {
        auto touched = co_await agenttools::touchedFilesAfterRun(projectRoot, before);
        throw AgentRunStopped(std::move(touched), *ended ? tr::format(_("%1 did not stop within %2 seconds; Tarn ended it."), {entry_.name, std::to_string(stopGrace.count() / 1000)})
                                                         : tr::format(_("%1 stopped."), {entry_.name}));
    }
    if (failure) throw AgentToolError(*failure);

    const std::string stopReason = stringOf(result, "stopReason");
    if (stopReason == "refusal") throw AgentToolError(tr::format(_("%1 refused this request."), {entry_.name}));
    std::string answer = text::trim(turn.answer);
    if (stopReason == "max_tokens" || stopReason == "max_turn_requests") {
        answer += (answer.empty() ? "" : "\n\n") + tr::format(_("(%1 stopped early: it reached its limit.)"), {entry_.name});
    }
    if (!turn.autoRejected.empty()) {
        answer += (answer.empty() ? "" : "\n\n") +
                  tr::format(_("Plan Mode refused what the agent wanted to run: %1"), {text::join(turn.autoRejected, ", ")});
    }
    auto run = agenttools::resultOfRun(projectRoot, std::move(before), answer, tr::format(_("%1 finished."), {entry_.name}),
                                       "last-agent-output.md");
    AgentRunResult outcome = co_await run;
    outcome.steps = std::move(turn.steps);
    outcome.plan = std::move(turn.plan);
    outcome.refusedEdits = std::move(turn.refusedEdits);
    outcome.thoughts = text::trim(turn.thoughts);
    co_return outcome;
}

}  // namespace tarn
