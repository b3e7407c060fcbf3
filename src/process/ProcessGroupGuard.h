#pragma once
#include "support/Subprocess.h"
#include "support/Task.h"

#include <chrono>
#include <memory>
#include <utility>
#include <vector>

namespace tarn {

// Makes sure a process group does not outlive Tarn, even when Tarn is killed. A small watcher
// process, in a group of its own, waits on a pipe whose only write end stays here; when the guard
// is released, or Tarn dies and the pipe closes with it, the watcher asks the group to terminate,
// kills what is left after the grace period, and exits.
class ProcessGroupGuard {
public:
    // Throws PlatformError when the watcher cannot start.
    explicit ProcessGroupGuard(int pgid);
    // Takes over a watcher started by another guard (the launcher's, across exec): its child
    // process with the write end of its pipe.
    ProcessGroupGuard(int pgid, std::unique_ptr<ChildProcess> watcher);
    ~ProcessGroupGuard();
    ProcessGroupGuard(const ProcessGroupGuard&) = delete;
    ProcessGroupGuard& operator=(const ProcessGroupGuard&) = delete;

    // Ends the group: a termination request now, a kill after the grace period. Returns at once;
    // the group is then among those still ending until it is gone. Releasing twice does nothing.
    void release();

    // Gives up the watcher without ending the group: its process id and the pipe's write end,
    // which the caller keeps open for as long as the group should live.
    std::pair<int, int> handOver();

    int group() const { return pgid_; }
    int watcherPid() const { return watcherPid_; }

    static constexpr std::chrono::milliseconds grace{3000};

private:
    int pgid_;
    int watcherPid_ = 0;
    std::unique_ptr<ChildProcess> watcher_;
};

// True while any process of the group is alive (zombies do not count).
bool processGroupAlive(int pgid);
// The released groups that still have a live process.
std::vector<int> processGroupsEnding();
// Waits, without blocking the main loop, until every released group is gone or `limit` passes.
Task<void> waitForProcessGroupsToEnd(std::chrono::milliseconds limit);

}  // namespace tarn
