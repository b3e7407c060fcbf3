#include "process/ProcessGroupGuard.h"


#include <algorithm>
#include <cerrno>
#include <csignal>
#include <string>

namespace tarn {

namespace {

// The watcher: `read` returns once the pipe's last write end closes. Zombies still answer
// `kill -0`, so the wait is bounded whatever happens.
constexpr const char* kWatcherScript =
    "read -r _\n"
    "kill -TERM -$1 2>/dev/null || exit 0\n"
    "i=0\n"
    "while kill -0 -$1 2>/dev/null; do\n"
    "  if [ $i -ge $2 ]; then kill -KILL -$1 2>/dev/null; exit 0; fi\n"
    "  sleep 0.05; i=$((i+1))\n"
    "done\n";

std::vector<int>& endingGroups() {
    static std::vector<int> groups;
    return groups;
}

}  // namespace

ProcessGroupGuard::ProcessGroupGuard(int pgid) : pgid_(pgid) {
    ChildOptions options;
    options.arguments = {"/bin/sh", "-c", kWatcherScript, "tarn-guard", std::to_string(pgid),
                         std::to_string(grace.count() / 50)};
    options.environment = {{"PATH", "/usr/bin:/bin"}};
    // Its own group, so that a signal to the guarded group never reaches the watcher.
    options.ownProcessGroup = true;
    options.pipeStandardInput = true;
    options.discardOutput = true;
    watcher_ = launchChild(options);  // throws the platform error
    watcherPid_ = watcher_->pid();
}

ProcessGroupGuard::ProcessGroupGuard(int pgid, std::unique_ptr<ChildProcess> watcher)
    : pgid_(pgid), watcherPid_(watcher->pid()), watcher_(std::move(watcher)) {}

ProcessGroupGuard::~ProcessGroupGuard() { release(); }

std::pair<int, int> ProcessGroupGuard::handOver() {
    if (!watcher_) return {0, -1};
    const int fd = watcher_->takeStandardInput();
    watcher_->markReaped();
    watcher_.reset();
    return {watcherPid_, fd};
}

void ProcessGroupGuard::release() {
    if (!watcher_) return;
    if (pgid_ > 0) {
        ::kill(-pgid_, SIGTERM);
        endingGroups().push_back(pgid_);
    }
    // Closing the only write end wakes the watcher, which sees the group to its end; it is
    // reaped when it exits.
    watcher_->closeStandardInput();
    watcher_.reset();
}

bool processGroupAlive(int pgid) {
    if (pgid <= 0 || (::kill(-pgid, 0) != 0 && errno == ESRCH)) return false;
    return !liveProcessGroupMembers(pgid).empty();
}

std::vector<int> processGroupsEnding() {
    auto& groups = endingGroups();
    std::erase_if(groups, [](int pgid) { return !processGroupAlive(pgid); });
    std::sort(groups.begin(), groups.end());
    groups.erase(std::unique(groups.begin(), groups.end()), groups.end());
    return groups;
}

Task<void> waitForProcessGroupsToEnd(std::chrono::milliseconds limit) {
    auto deadline = std::chrono::steady_clock::now() + limit;
    while (!processGroupsEnding().empty() && std::chrono::steady_clock::now() < deadline) {
        co_await sleepFor(std::chrono::milliseconds(20));
    }
}

}  // namespace tarn
