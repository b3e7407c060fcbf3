#pragma once
#include "model/ProjectContext.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tarn {

class ChildProcess;
class ProcessGroupGuard;

// Owns the project's dev server: the one long-running child. It runs the dev command through a
// login shell in a process group of its own, turns its output into lines, reports its end, and
// stops the whole group on request. A guard ends the group if Tarn dies; when the controller goes
// away the group is ended in the background, so nothing waits on it.
class DevServerController {
public:
    DevServerController();
    ~DevServerController();
    DevServerController(const DevServerController&) = delete;
    DevServerController& operator=(const DevServerController&) = delete;

    // Stops any running server first. Takes over the server the launcher handed over when it is
    // this project's. Throws the platform's launch error.
    void start(const ProjectContext& context);

    // A dev server started under its guard, not yet read: the launcher hands it to the window.
    struct Launched {
        std::unique_ptr<ChildProcess> process;
        std::unique_ptr<ProcessGroupGuard> guard;
        bool sandboxed = false;
    };
    // Throws the platform's launch error; the group is gone then.
    static Launched launch(const ProjectContext& context);
    // Asks the server's process group to terminate (killing what is left after a grace period);
    // the end is reported later through onExit. Nothing the server prints afterwards is reported.
    void stop();

    bool isRunning() const;
    // Whether the current server runs in the sandbox.
    bool sandboxed() const;
    // The process group of the current server, or 0.
    int processGroup() const;
    // The process that watches the current server's group, or 0.
    int watcherProcess() const;

    std::function<void(const std::string&)> onOutputLine;
    std::function<void(int)> onExit;

    struct Run;

private:
    std::shared_ptr<Run> current_;
    // Runs reach the controller through this link, which is cleared when the controller goes away.
    std::shared_ptr<DevServerController*> self_;
};

}  // namespace tarn
