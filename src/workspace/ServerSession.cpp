#include "workspace/ServerSession.h"
#include "process/Sandbox.h"
#include "support/Translate.h"

#include "process/ProcessEnvironment.h"
#include "process/ServerOutput.h"
#include "support/Text.h"

#include <filesystem>

namespace tarn {

ServerSession::ServerSession(const Owner& owner, Chat& chat, Browser& browser)
    : owner_(owner), chat_(chat), browser_(browser) {
    // Lines and the end arrive as main-thread tasks that do nothing once the controller is gone.
    // Lines gather between turns of the loop and are taken a slice a turn: a server that prints
    // a hundred thousand lines costs one task per slice, and the window draws between slices.
    server_.onOutputLine = [this, pending = pending_](const std::string& line) {
        std::lock_guard lock(pending->mutex);
        pending->lines.push_back(line);
        if (std::exchange(pending->posted, true)) return;
        owner_.post([this] { takePendingLines(); });
    };
    server_.onExit = [this](int status) { owner_.post([this, status] { handleExit(status); }); };
}

Task<void> ServerSession::installAndStart(ProjectContext context, Cancellation lifetime) {
    auto keep = owner_.hold();
    external_.reset();
    serverState = ServerRuntimeState::starting();
    browser_.expectServer(true);
    chat_.appendSystemMessage(tr::format(_("Checking dependencies with `%1`..."), {context.installCommand}));

    auto onInstallLine = [weak = owner_.weak(), this](const std::string& line) {
        if (weak.lock()) logOutput(line);
    };
    std::optional<std::string> failure;
    try {
        co_await bootstrap_.installDependenciesIfNeeded(context, onInstallLine, lifetime);
        chat_.appendSystemMessage(tr::format(_("Starting dev server with `%1`..."), {context.devCommand}));
        server_.start(context);
        noteSandbox(context);
    } catch (const CancellationError&) {
        failure = _("The install was stopped.");
    } catch (const std::exception& e) {
        failure = e.what();
    }
    if (failure && sandbox::wanted(context.rootURL.path())) {
        if (auto hint = sandbox::explain(*failure, context.rootURL.path())) *failure += "\n\n" + *hint;
    }
    if (failure) {
        browser_.expectServer(false);
        serverState = ServerRuntimeState::failed(*failure);
        chat_.appendSystemMessage(tr::format(_("Could not start server: %1"), {*failure}));
        co_return;
    }
    serverState = ServerRuntimeState::running();
}

bool ServerSession::startAtOnce(const ProjectContext& context) {
    std::error_code ec;
    if (!std::filesystem::is_directory(std::filesystem::symlink_status(std::filesystem::path(context.rootURL.path()) / "node_modules", ec))) {
        return false;
    }
    try {
        server_.start(context);
        return true;
    } catch (const std::exception&) {
        return false;  // tried again the usual way, which reports why
    }
}

void ServerSession::startedAtOnce(const ProjectContext& context) {
    external_.reset();
    browser_.expectServer(true);
    log(tr::format(_("Dev server started with command: %1"), {context.devCommand}));
    chat_.appendSystemMessage(tr::format(_("Starting dev server with `%1`..."), {context.devCommand}));
    serverState = ServerRuntimeState::running();
    noteSandbox(context);
}

void ServerSession::noteSandbox(const ProjectContext& context) {
    sandboxed = server_.sandboxed();
    if (*sandboxed || toldNoSandbox_ || sandbox::turnedOffEverywhere() || sandbox::turnedOff(context.rootURL.path())) return;
    if (auto why = sandbox::unavailable()) {
        toldNoSandbox_ = true;
        chat_.appendSystemMessage(tr::format(_("Tarn could not put this project's install and dev server in a sandbox: %1. They run "
                                               "with all your rights, as in a terminal."),
                                             {*why}));
    }
}

void ServerSession::attach(const ExternalServer& server) {
    server_.stop();
    external_ = server;
    const std::string address = "http://localhost:" + std::to_string(server.port) + "/";
    serverState = ServerRuntimeState::external(
        tr::format(_("Started outside Tarn (process %1, %2); Tarn leaves it running"), {std::to_string(server.pid), server.command}));
    chat_.appendSystemMessage(tr::format(_("This project's dev server is already running at %1 (process %2, started outside "
                                           "Tarn): showing it instead of starting another. Tarn will not stop it; the stop "
                                           "button only detaches."),
                                         {address, std::to_string(server.pid)}));
    log(tr::format(_("Using the external dev server at %1 (process %2: %3)."), {address, std::to_string(server.pid), server.command}));
    if (auto url = Url::parse(address)) browser_.open(*url);
}

void ServerSession::stop() {
    if (external_) {
        const int pid = external_->pid;
        external_.reset();
        serverState = ServerRuntimeState::stopped();
        log(tr::format(_("Detached from the external dev server (process %1); it keeps running."), {std::to_string(pid)}));
        return;
    }
    server_.stop();
    browser_.expectServer(false);
    serverState = ServerRuntimeState::stopped();
    log(_("Server stop requested."));
}

void ServerSession::append(const std::string& line, bool trim) {
    serverLogLines.modify([&](auto& lines) {
        lines.push_back(line);
        if (trim) lines.trimTo(serverLogLimit);
    });
}

void ServerSession::clearLog() {
    serverLogLines.modify([](auto& lines) { lines.clear(); });
}

void ServerSession::takePendingLines() {
    constexpr std::size_t slice = 500;

    std::vector<std::string> lines;
    {
        std::lock_guard lock(pending_->mutex);
        auto& queued = pending_->lines;
        const auto n = static_cast<std::ptrdiff_t>(std::min(slice, queued.size()));
        lines.assign(std::make_move_iterator(queued.begin()), std::make_move_iterator(queued.begin() + n));
        queued.erase(queued.begin(), queued.begin() + n);
        if (queued.empty()) {
            pending_->posted = false;
        } else {
            owner_.post([this] { takePendingLines(); });
        }
    }
    handleOutputLines(lines);
}

void ServerSession::handleOutputLines(const std::vector<std::string>& raw) {
    // Colour codes make the log unreadable and split addresses ("localhost:\e[1m5173").
    std::vector<std::string> shown;
    shown.reserve(raw.size());
    for (const auto& line : raw) shown.push_back(text::stripTerminalEscapes(line));
    // One change of the log for them all.
    serverLogLines.modify([&](auto& log) {
        for (const auto& line : shown) log.push_back(line);
        log.trimTo(serverLogLimit);
    });
    for (const auto& line : shown) understand(line);
}

void ServerSession::understand(const std::string& line) {
    if (auto address = serverOutput::localAddress(line)) browser_.announced(*address);
    switch (serverOutput::meaningOf(line)) {
        case serverOutput::Meaning::commandNotFound:
            browser_.expectServer(false);
            serverState = ServerRuntimeState::failed(line);
            chat_.appendSystemMessage(commandNotFoundAdvice(ProcessEnvironment::augmentedEnvironment()["PATH"]));
            break;
        case serverOutput::Meaning::ready: serverState = ServerRuntimeState::running(); break;
        case serverOutput::Meaning::nothing: break;
    }
}

void ServerSession::handleExit(int status) {
    log(tr::format(_("Server stopped (exit %1)."), {std::to_string(status)}));
    if (server_.isRunning()) return;
    browser_.expectServer(false);
    serverState = ServerRuntimeState::stopped();
}

std::string ServerSession::commandNotFoundAdvice(const std::string& searchPath) {
    return tr::format(_("Startup command failed: the shell could not find a command. Install Node.js and the project's "
                        "package manager from your distribution (sudo apt install nodejs npm) or with a version manager "
                        "such as nvm, fnm or Volta, and check that the command is in one of the folders Tarn searches: "
                        "%1. Then start the server again."),
                      {searchPath});

}

}  // namespace tarn
