#include "process/ServerHandover.h"

#include "process/DevServerController.h"
#include "process/ProcessGroupGuard.h"
#include "support/Json.h"
#include "support/Subprocess.h"

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

namespace tarn {

std::string ServerHandover::encode() const {
    return json::Json{{"root", root},        {"command", command}, {"pid", pid},           {"out", outFd},
                      {"err", errFd},        {"watcher", watcherPid}, {"guard", guardFd}, {"sandboxed", sandboxed}}
        .dump();
}

std::optional<ServerHandover> ServerHandover::decode(const std::string& text) {
    auto object = json::parseObject(text);
    if (!object) return std::nullopt;
    try {
        ServerHandover h;
        h.root = object->at("root").get<std::string>();
        h.command = object->at("command").get<std::string>();
        h.pid = object->at("pid").get<int>();
        h.outFd = object->at("out").get<int>();
        h.errFd = object->at("err").get<int>();
        h.watcherPid = object->at("watcher").get<int>();
        h.guardFd = object->at("guard").get<int>();
        h.sandboxed = object->at("sandboxed").get<bool>();
        if (h.pid <= 0 || h.watcherPid <= 0 || h.outFd < 0 || h.errFd < 0 || h.guardFd < 0) return std::nullopt;
        return h;
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

namespace handover {

namespace {

std::optional<ServerHandover>& claimed() {
    static std::optional<ServerHandover> handover;
    return handover;
}

void setCloseOnExec(int fd, bool on) {
    const int flags = ::fcntl(fd, F_GETFD);
    if (flags >= 0) ::fcntl(fd, F_SETFD, on ? flags | FD_CLOEXEC : flags & ~FD_CLOEXEC);
}

}  // namespace

bool startForExec(const ProjectContext& context) {
    try {
        DevServerController::Launched launched = DevServerController::launch(context);
        ServerHandover h;
        h.root = context.rootURL.path();
        h.command = context.devCommand;
        h.pid = launched.process->pid();
        h.outFd = launched.process->takeStandardOutput();
        h.errFd = launched.process->takeStandardError();
        h.sandboxed = launched.sandboxed;
        auto [watcher, guardFd] = launched.guard->handOver();
        h.watcherPid = watcher;
        h.guardFd = guardFd;
        // Reaped by the window, which is this same process after exec.
        launched.process->markReaped();
        for (int fd : {h.outFd, h.errFd, h.guardFd}) setCloseOnExec(fd, false);
        ::setenv(ServerHandover::variable, h.encode().c_str(), 1);
        return true;
    } catch (const std::exception&) {
        return false;  // the window starts it the usual way, and says why if it fails there too
    }
}

void claim() {
    const char* text = std::getenv(ServerHandover::variable);
    if (!text) return;
    claimed() = ServerHandover::decode(text);
    ::unsetenv(ServerHandover::variable);
    if (claimed()) {
        for (int fd : {claimed()->outFd, claimed()->errFd, claimed()->guardFd}) setCloseOnExec(fd, true);
    }
}

int pendingGroup() { return claimed() ? claimed()->pid : 0; }

std::optional<ServerHandover> take(const std::string& root, const std::string& command) {
    auto h = std::exchange(claimed(), std::nullopt);
    if (!h || (h->root == root && h->command == command)) return h;
    // Not the server this project needs: its group ends as any released one does.
    ProcessGroupGuard(h->pid, std::make_unique<ChildProcess>(h->watcherPid, h->guardFd, -1, -1)).release();
    ChildProcess(h->pid, -1, h->outFd, h->errFd).watchExit(nullptr);
    return std::nullopt;
}

}  // namespace handover
}  // namespace tarn
