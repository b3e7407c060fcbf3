#pragma once
#include "bootstrap/ProjectBootstrapService.h"
#include "model/ProjectContext.h"
#include "model/ServerRuntimeState.h"
#include "process/DevServerController.h"
#include "process/ExternalServer.h"
#include "support/Published.h"
#include "support/RollingList.h"
#include "support/Task.h"
#include "workspace/Browser.h"
#include "workspace/Chat.h"
#include "workspace/Owner.h"

#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace tarn {

// The project's dev server: the install before it, its state, its log, and the address it
// announces, which the preview follows.
class ServerSession {
public:
    ServerSession(const Owner& owner, Chat& chat, Browser& browser);

    Published<ServerRuntimeState> serverState;
    // Whether the project's server runs in the sandbox, away from the user's home folder.
    Published<bool> sandboxed{false};
    Published<RollingList<std::string>> serverLogLines;

    static constexpr std::size_t serverLogLimit = 500;

    // Installs what is missing, then starts the dev command; `lifetime` stops the install.
    Task<void> installAndStart(ProjectContext context, Cancellation lifetime);
    // Stops Tarn's own server; an external one is only let go (it keeps running).
    void stop();
    // On a worker thread, first thing when a project opens with a plan it can use as it is: starts
    // the dev command when nothing needs installing. Touches only the process; says whether it ran.
    bool startAtOnce(const ProjectContext& context);
    // Back on the main thread: the state and messages of the server startAtOnce started.
    void startedAtOnce(const ProjectContext& context);
    // Shows a server the user started outside Tarn; none of Tarn's own starts, and Tarn never
    // signals it.
    void attach(const ExternalServer& server);
    const std::optional<ExternalServer>& external() const { return external_; }
    // No server can start (the folder is no project): the state says why.
    void fail(const std::string& reason) { serverState = ServerRuntimeState::failed(reason); }
    void handleOutputLine(const std::string& line) { handleOutputLines({line}); }
    // Lines the server printed, as one change of the log.
    void handleOutputLines(const std::vector<std::string>& lines);
    // A server's end; the end of one a newer server replaced leaves the newer one's state alone.
    void handleExit(int status);

    // Tarn's own lines, kept past the limit until the next output line.
    void log(const std::string& line) { append(line, false); }
    // Another program's output (an install, an agent tool's housekeeping), like the server's.
    void logOutput(const std::string& line) { append(line, true); }
    void clearLog();
    // Ends the server without waiting for it.
    void shutdown() { server_.stop(); }

    const DevServerController& controller() const { return server_; }

    // What to do when the dev command's tool is missing, naming the folders searched.
    static std::string commandNotFoundAdvice(const std::string& searchPath);

private:
    void append(const std::string& line, bool trim);
    // What a line of the server's means: an address it announced, a missing command, ready.
    void understand(const std::string& line);
    void takePendingLines();
    // After a start: whether it is sandboxed, and once a launch why not when it could not be.
    void noteSandbox(const ProjectContext& context);
    bool toldNoSandbox_ = false;

    struct Pending {
        std::mutex mutex;
        std::deque<std::string> lines;
        bool posted = false;
    };
    // Shared with the output callback, which may run on a worker thread (a server started first thing).
    std::shared_ptr<Pending> pending_ = std::make_shared<Pending>();

    const Owner& owner_;
    Chat& chat_;
    Browser& browser_;
    ProjectBootstrapService bootstrap_;
    DevServerController server_;
    std::optional<ExternalServer> external_;
};

}  // namespace tarn
