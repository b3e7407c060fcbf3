#include "workspace/ServerSession.h"
#include "support/Translate.h"

#include "process/ProcessEnvironment.h"
#include "process/ServerOutput.h"
#include "support/Text.h"

namespace tarn {

ServerSession::ServerSession(const Owner& owner, Chat& chat, Browser& browser)
    : owner_(owner), chat_(chat), browser_(browser) {
    // Lines and the end arrive as main-thread tasks that do nothing once the controller is gone.
    server_.onOutputLine = [this](const std::string& line) { owner_.post([this, line] { handleOutputLine(line); }); };
    server_.onExit = [this](int status) { owner_.post([this, status] { handleExit(status); }); };
}

Task<void> ServerSession::installAndStart(ProjectContext context, Cancellation lifetime) {
    auto keep = owner_.hold();
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
    } catch (const CancellationError&) {
        failure = _("The install was stopped.");
    } catch (const std::exception& e) {
        failure = e.what();
    }
    if (failure) {
        browser_.expectServer(false);
        serverState = ServerRuntimeState::failed(*failure);
        chat_.appendSystemMessage(tr::format(_("Could not start server: %1"), {*failure}));
        co_return;
    }
    serverState = ServerRuntimeState::running();
}

void ServerSession::stop() {
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

void ServerSession::handleOutputLine(const std::string& raw) {
    // Colour codes make the log unreadable and split addresses ("localhost:\e[1m5173").
    const std::string line = text::stripTerminalEscapes(raw);
    logOutput(line);
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
