#pragma once
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tarn {

using Environment = std::map<std::string, std::string>;

struct ChildOptions {
    std::vector<std::string> arguments;  // the executable first: a path, or a name looked up on the environment's PATH
    std::optional<std::string> workingDirectory;
    Environment environment;
    bool ownProcessGroup = false;     // the child leads a new process group
    bool pipeStandardInput = false;   // otherwise standard input is /dev/null
    bool discardOutput = false;       // otherwise both output streams are piped
};

// A started child: its process id and the parent's ends of its pipes (owned, -1 when absent).
// The id stays valid, and names this child, until its end has been watched: nothing reaps it before.
class ChildProcess {
public:
    ChildProcess(int pid, int stdinFd, int stdoutFd, int stderrFd);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    int pid() const { return pid_; }
    int stdoutFd() const { return stdoutFd_; }
    int stderrFd() const { return stderrFd_; }
    // Closes the write end of standard input, so the child reads its end.
    void closeStandardInput();
    // Hands the parent's end of a pipe to the caller, who closes it (-1 when absent).
    int takeStandardInput() { return std::exchange(stdinFd_, -1); }
    int takeStandardOutput() { return std::exchange(stdoutFd_, -1); }
    int takeStandardError() { return std::exchange(stderrFd_, -1); }
    // Calls `onExit` with the decoded status on the main loop once the child has ended, and reaps
    // it. Without a watch the child is reaped silently when this object goes.
    void watchExit(std::function<void(int status)> onExit);
    // For whoever reaped the child itself.
    void markReaped() { watched_ = true; }

private:
    int pid_;
    int stdinFd_, stdoutFd_, stderrFd_;
    bool watched_ = false;
};

// Starts a child. Throws PlatformError with the system's message when it cannot start.
std::unique_ptr<ChildProcess> launchChild(const ChildOptions& options);

// The one place a wait status is decoded: the exit code, or the signal's number for a child
// ended by a signal.
int decodeWaitStatus(int waitStatus);

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
