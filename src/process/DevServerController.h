#pragma once
#include "model/ProjectContext.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tarn {

// Owns the project's dev server: the one long-running child. It runs the dev command through a
// login shell in a process group of its own, turns its output into lines, reports its end, and
// stops the whole group on request. When the controller goes away, so does the server.
class DevServerController {
public:
    DevServerController();
    ~DevServerController();
    DevServerController(const DevServerController&) = delete;
    DevServerController& operator=(const DevServerController&) = delete;

    // Stops any running server first. Throws the platform's launch error.
    void start(const ProjectContext& context);
    // Asks the server's process group to terminate; the end is reported later through onExit.
    void stop();

    bool isRunning() const;
    // The process group of the current server, or 0.
    int processGroup() const;

    std::function<void(const std::string&)> onOutputLine;
    std::function<void(int)> onExit;

    // How long a server may take to end after the termination request when the controller is
    // destroyed, before it is killed.
    static constexpr int shutdownGraceMilliseconds = 3000;

    struct Run;

private:
    std::shared_ptr<Run> current_;
    // Every server started whose process group may still be alive, the current one included.
    std::vector<std::shared_ptr<Run>> runs_;
    // Runs reach the controller through this link, which is cleared when the controller goes away.
    std::shared_ptr<DevServerController*> self_;
};

}  // namespace tarn
