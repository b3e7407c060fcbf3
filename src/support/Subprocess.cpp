#include "support/Subprocess.h"

#include "support/PlatformError.h"

#include <cstdio>
#include <dirent.h>
#include <fstream>
#include <unistd.h>

namespace tarn {

namespace {

void enterOwnProcessGroup(gpointer) { setpgid(0, 0); }

std::string bytesToString(GBytes* bytes) {
    if (!bytes) return {};
    gsize size = 0;
    const char* data = static_cast<const char*>(g_bytes_get_data(bytes, &size));
    std::string out(data ? data : "", size);
    g_bytes_unref(bytes);
    return out;
}

}  // namespace

GObjectPtr<GSubprocess> launchChild(const ChildOptions& options) {
    if (options.arguments.empty()) throw PlatformError("No executable was given.");
    GObjectPtr<GSubprocessLauncher> launcher(
        g_subprocess_launcher_new(static_cast<GSubprocessFlags>(G_SUBPROCESS_FLAGS_STDOUT_PIPE | G_SUBPROCESS_FLAGS_STDERR_PIPE)));

    std::vector<std::string> envStrings;
    envStrings.reserve(options.environment.size());
    for (const auto& [name, value] : options.environment) envStrings.push_back(name + "=" + value);
    std::vector<const char*> envp;
    for (const auto& s : envStrings) envp.push_back(s.c_str());
    envp.push_back(nullptr);
    g_subprocess_launcher_set_environ(launcher.get(), const_cast<char**>(envp.data()));

    if (options.workingDirectory) g_subprocess_launcher_set_cwd(launcher.get(), options.workingDirectory->c_str());
    if (options.ownProcessGroup) g_subprocess_launcher_set_child_setup(launcher.get(), enterOwnProcessGroup, nullptr, nullptr);

    std::vector<const char*> argv;
    for (const auto& a : options.arguments) argv.push_back(a.c_str());
    argv.push_back(nullptr);

    GError* raw = nullptr;
    GSubprocess* child = g_subprocess_launcher_spawnv(launcher.get(), argv.data(), &raw);
    GErrorPtr error(raw);
    if (!child) throw PlatformError(error ? error->message : "The process could not be started.", error ? error->code : 0);
    return GObjectPtr<GSubprocess>(child);
}

int exitStatusOf(GSubprocess* child) {
    if (g_subprocess_get_if_signaled(child)) return g_subprocess_get_term_sig(child);
    if (g_subprocess_get_if_exited(child)) return g_subprocess_get_exit_status(child);
    return g_subprocess_get_status(child);
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
    GBytes* out = nullptr;
    GBytes* err = nullptr;
    GError* raw = nullptr;
    gboolean ok = g_subprocess_communicate(child.get(), nullptr, nullptr, &out, &err, &raw);
    GErrorPtr error(raw);
    CollectedOutput result{bytesToString(out), bytesToString(err), 0};
    if (!ok) {
        g_subprocess_wait(child.get(), nullptr, nullptr);
        throw PlatformError(error ? error->message : "Reading the process's output failed.");
    }
    result.status = exitStatusOf(child.get());
    return result;
}

}  // namespace tarn
