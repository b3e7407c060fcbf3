#pragma once
#include "support/GObjectPtr.h"

#include <gio/gio.h>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tarn {

using Environment = std::map<std::string, std::string>;

struct ChildOptions {
    std::vector<std::string> arguments;  // the executable's path first
    std::optional<std::string> workingDirectory;
    Environment environment;
    bool ownProcessGroup = false;  // the child leads a new process group
};

// Starts a child with both output streams piped and standard input on /dev/null.
// Throws PlatformError with the system's message when it cannot start.
GObjectPtr<GSubprocess> launchChild(const ChildOptions& options);

// The one place a wait status is decoded: the exit code, or the signal's number for a child
// ended by a signal. Only valid once the child has ended.
int exitStatusOf(GSubprocess* child);

// The processes of a process group that are still alive (zombies waiting to be reaped left out).
std::vector<int> liveProcessGroupMembers(int pgid);

// Output of a child run to its end.
struct CollectedOutput {
    std::string stdoutBytes;
    std::string stderrBytes;
    int status = 0;
};

// Runs a child to its end on the calling thread, draining both pipes while it runs.
CollectedOutput runToEnd(const ChildOptions& options);

}  // namespace tarn
