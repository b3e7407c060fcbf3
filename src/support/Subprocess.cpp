#include "support/Subprocess.h"
#include "support/Translate.h"

#include "support/PlatformError.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <cstdio>
#include <dirent.h>
#include <fstream>
#include <glib.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tarn {

namespace {

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

namespace {

// The executable as the child's own PATH finds it, like a shell would.
std::string executablePath(const std::string& name, const Environment& environment) {
    if (name.find('/') != std::string::npos) return name;
    auto path = environment.find("PATH");
    std::string dirs = path == environment.end() ? "/usr/bin:/bin" : path->second;
    std::size_t start = 0;
    while (start <= dirs.size()) {
        std::size_t end = dirs.find(':', start);
        if (end == std::string::npos) end = dirs.size();
        std::string dir = dirs.substr(start, end - start);
        if (!dir.empty()) {
            std::string candidate = dir + "/" + name;
            if (::access(candidate.c_str(), X_OK) == 0) return candidate;
        }
        start = end + 1;
    }
    return name;  // not found: the spawn says so
}

// Both ends close on exec; the child gets its end through dup2, which clears that.
struct Pipe {
    int read = -1, write = -1;
    explicit Pipe(bool wanted) {
        int fds[2];
        if (wanted && ::pipe2(fds, O_CLOEXEC) == 0) {
            read = fds[0];
            write = fds[1];
        }
    }
};

}  // namespace

std::unique_ptr<ChildProcess> launchChild(const ChildOptions& options) {
    if (options.arguments.empty()) throw PlatformError(_("No executable was given."));
    std::vector<std::string> envStrings;
    envStrings.reserve(options.environment.size());
    for (const auto& [name, value] : options.environment) envStrings.push_back(name + "=" + value);
    std::vector<char*> envp;
    for (auto& s : envStrings) envp.push_back(s.data());
    envp.push_back(nullptr);
    std::vector<std::string> args = options.arguments;
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    const std::string path = executablePath(options.arguments.front(), options.environment);

    // posix_spawn starts the child without copying this (large) process, so a start costs well
    // under a millisecond where a fork would cost ten or more. Every descriptor but the three
    // standard ones is closed in the child, and its signals start from their defaults.
    Pipe in(options.pipeStandardInput), out(!options.discardOutput), err(!options.discardOutput);
    if ((options.pipeStandardInput && in.read < 0) || (!options.discardOutput && (out.read < 0 || err.read < 0))) {
        throw PlatformError(tr::format(_("Could not create a pipe: %1"), {std::strerror(errno)}), errno);
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (options.pipeStandardInput) {
        posix_spawn_file_actions_adddup2(&actions, in.read, 0);
    } else {
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    }
    if (options.discardOutput) {
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    } else {
        posix_spawn_file_actions_adddup2(&actions, out.write, 1);
        posix_spawn_file_actions_adddup2(&actions, err.write, 2);
    }
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
    if (options.workingDirectory) posix_spawn_file_actions_addchdir_np(&actions, options.workingDirectory->c_str());

    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    if (options.ownProcessGroup) {
        flags |= POSIX_SPAWN_SETPGROUP;
        posix_spawnattr_setpgroup(&attributes, 0);
    }
    posix_spawnattr_setflags(&attributes, flags);

    pid_t pid = 0;
    const int failure = ::posix_spawn(&pid, path.c_str(), &actions, &attributes, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    for (int fd : {in.read, out.write, err.write}) {
        if (fd >= 0) ::close(fd);
    }
    if (failure != 0) {
        for (int fd : {in.write, out.read, err.read}) {
            if (fd >= 0) ::close(fd);
        }
        const bool badFolder = options.workingDirectory && ::access(options.workingDirectory->c_str(), X_OK) != 0;
        throw PlatformError(badFolder ? tr::format(_("Failed to change to directory “%1” (%2)"),
                                                   {*options.workingDirectory, std::strerror(failure)})
                                      : tr::format(_("Failed to execute child process “%1” (%2)"),
                                                   {options.arguments.front(), std::strerror(failure)}),
                            failure);
    }
    return std::make_unique<ChildProcess>(pid, in.write, out.read, err.read);
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
