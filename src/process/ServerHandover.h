#pragma once
#include "model/ProjectContext.h"

#include <optional>
#include <string>

namespace tarn {

// A dev server the launcher started before the window's libraries were loaded, handed to the
// window across exec: the group's leader, the parent's ends of its output pipes, and the guard's
// watcher with the write end of its pipe, so the group still ends if the window dies.
struct ServerHandover {
    std::string root, command;
    int pid = 0, outFd = -1, errFd = -1, watcherPid = 0, guardFd = -1;
    bool sandboxed = false;

    static constexpr const char* variable = "TARN_SERVER_HANDOVER";
    std::string encode() const;
    static std::optional<ServerHandover> decode(const std::string& text);
};

namespace handover {

// The launcher's side: starts the context's dev server under its guard and puts the handover in
// the environment, its descriptors left open across exec. False when it could not start.
bool startForExec(const ProjectContext& context);

// The window's side, first thing: takes the handover out of the environment (no child inherits
// it) and makes its descriptors close-on-exec again.
void claim();
// The process group of the server claimed and not yet taken, or 0: Tarn's own, not the user's.
int pendingGroup();
// The handover claimed, when it is for this project and command; any other is ended. Once.
std::optional<ServerHandover> take(const std::string& root, const std::string& command);

}  // namespace handover
}  // namespace tarn
