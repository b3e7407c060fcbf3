#include "launcher/Launcher.h"

#include "bootstrap/RememberedPlan.h"
#include "process/ExternalServer.h"
#include "process/ServerHandover.h"
#include "support/Trace.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <unistd.h>

namespace tarn::launcher {

namespace {

void startServer(const std::filesystem::path& root) {
    auto plan = rememberedPlan::recall(root);
    if (!plan) return;
    std::error_code ec;
    // Installing is the window's job, with its progress shown: only a ready project starts here.
    if (!std::filesystem::is_directory(std::filesystem::symlink_status(root / "node_modules", ec))) return;
    if (ExternalServer::find(root, std::max(plan->defaultURL.port(), 0))) return;
    if (handover::startForExec(*plan)) trace::mark("launcher: dev server started");
}

}  // namespace

std::string windowProgram() {
    std::error_code ec;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return "tarn-window";
    const auto beside = self.parent_path() / "tarn-window";
    if (std::filesystem::exists(beside, ec)) return beside;
    return self.parent_path().parent_path() / "libexec" / "tarn" / "tarn-window";
}

int startServerThenExec(int argc, char** argv, const std::string& window) {
    trace::mark("launcher");
    std::error_code ec;
    if (argc == 2 && argv[1][0] != '-' && !std::getenv(ServerHandover::variable) &&
        std::filesystem::is_directory(argv[1], ec)) {
        startServer(std::filesystem::absolute(argv[1]).lexically_normal());
    }
    ::execv(window.c_str(), argv);
    const int error = errno;
    // The server's guard sees the pipe close with this process and ends the group.
    std::fprintf(stderr, "tarn: could not start %s: %s\n", window.c_str(), std::strerror(error));
    return 127;
}

}  // namespace tarn::launcher
