#include "support/Subprocess.h"

#include "support/GObjectPtr.h"
#include "support/PlatformError.h"

#include <cerrno>
#include <cstdio>
#include <dirent.h>
#include <fstream>
#include <glib.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tarn {

namespace {

void enterOwnProcessGroup(gpointer) { setpgid(0, 0); }

void closeFd(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

}  // namespace

ChildProcess::ChildProcess(int pid, int stdinFd, int stdoutFd, int stderrFd)
    : pid_(pid), stdinFd_(stdinFd), stdoutFd_(stdoutFd), stderrFd_(stderrFd) {}

ChildProcess::~ChildProcess() {
    closeFd(stdinFd_);
    closeFd(stdoutFd_);
    closeFd(stderrFd_);
    if (!watched_) watchExit(nullptr);
}

void ChildProcess::closeStandardInput() { closeFd(stdinFd_); }

void ChildProcess::watchExit(std::function<void(int)> onExit) {
    watched_ = true;
    // The child watch reaps the child; its callback runs on the main loop.
    g_child_watch_add_full(
        G_PRIORITY_DEFAULT, pid_,
        [](GPid pid, gint status, gpointer data) {
            auto& fn = *static_cast<std::function<void(int)>*>(data);
            g_spawn_close_pid(pid);
            if (fn) fn(decodeWaitStatus(status));
        },
        new std::function<void(int)>(std::move(onExit)),
        [](gpointer data) { delete static_cast<std::function<void(int)>*>(data); });
}

std::unique_ptr<ChildProcess> launchChild(const ChildOptions& options) {
    if (options.arguments.empty()) throw PlatformError("No executable was given.");
    std::vector<std::string> envStrings;
    envStrings.reserve(options.environment.size());
    for (const auto& [name, value] : options.environment) envStrings.push_back(name + "=" + value);
    std::vector<const char*> envp;
    for (const auto& s : envStrings) envp.push_back(s.c_str());
    envp.push_back(nullptr);
    std::vector<const char*> argv;
    for (const auto& a : options.arguments) argv.push_back(a.c_str());
    argv.push_back(nullptr);

    auto flags = static_cast<GSpawnFlags>(G_SPAWN_DO_NOT_REAP_CHILD | G_SPAWN_SEARCH_PATH_FROM_ENVP | G_SPAWN_CLOEXEC_PIPES |
                                          (options.pipeStandardInput ? 0 : G_SPAWN_STDIN_FROM_DEV_NULL) |
                                          (options.discardOutput ? G_SPAWN_STDOUT_TO_DEV_NULL | G_SPAWN_STDERR_TO_DEV_NULL : 0));
    GPid pid = 0;
    int in = -1, out = -1, err = -1;
    GError* raw = nullptr;
    gboolean ok = g_spawn_async_with_pipes_and_fds(
        options.workingDirectory ? options.workingDirectory->c_str() : nullptr, argv.data(), envp.data(), flags,
        options.ownProcessGroup ? enterOwnProcessGroup : nullptr, nullptr, -1, -1, -1, nullptr, nullptr, 0, &pid,
        options.pipeStandardInput ? &in : nullptr, options.discardOutput ? nullptr : &out,
        options.discardOutput ? nullptr : &err, &raw);
    GErrorPtr error(raw);
    if (!ok) throw PlatformError(error ? error->message : "The process could not be started.", error ? error->code : 0);
    return std::make_unique<ChildProcess>(pid, in, out, err);
}

int decodeWaitStatus(int waitStatus) {
    if (WIFSIGNALED(waitStatus)) return WTERMSIG(waitStatus);
    if (WIFEXITED(waitStatus)) return WEXITSTATUS(waitStatus);
    return waitStatus;
}

std::vector<int> liveProcessGroupMembers(int pgid) {
    std::vector<int> pids;
    DIR* proc = pgid > 0 ? opendir("/proc") : nullptr;
    if (!proc) return pids;
    while (dirent* entry = readdir(proc)) {
        if (entry->d_name[0] < '0' || entry->d_name[0] > '9') continue;
        std::ifstream stat(std::string("/proc/") + entry->d_name + "/stat");
        std::string content;
        std::getline(stat, content);
        // Fields after the parenthesised command name: state, ppid, pgrp, ...
        auto close = content.rfind(')');
        char state = 0;
        int ppid = 0, pgrp = 0;
        if (close == std::string::npos || sscanf(content.c_str() + close + 1, " %c %d %d", &state, &ppid, &pgrp) != 3) continue;
        if (pgrp == pgid && state != 'Z' && state != 'X') pids.push_back(std::atoi(entry->d_name));
    }
    closedir(proc);
    return pids;
}

CollectedOutput runToEnd(const ChildOptions& options) {
    auto child = launchChild(options);
    CollectedOutput result;
    struct pollfd fds[2] = {{child->stdoutFd(), POLLIN, 0}, {child->stderrFd(), POLLIN, 0}};
    std::string* sinks[2] = {&result.stdoutBytes, &result.stderrBytes};
    int open = 2;
    char buffer[65536];
    while (open > 0) {
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                sinks[i]->append(buffer, static_cast<std::size_t>(n));
            } else if (n == 0 || errno != EINTR) {
                fds[i].fd = -1;  // the pipe itself is closed with the child object
                --open;
            }
        }
    }
    int status = 0;
    while (::waitpid(child->pid(), &status, 0) < 0 && errno == EINTR) {
    }
    result.status = decodeWaitStatus(status);
    child->markReaped();
    return result;
}

}  // namespace tarn
