// Re-opening an unchanged project from the command line, as a user does every morning: from the
// launch of Tarn to the dev server's own process (the node that serves the page) and to the page
// in the preview, against the same dev command started from a login shell (to its process, and
// until its page answers). The first run makes the plan; the next five are measured. Medians.
#include "BenchSupport.h"

using namespace bench;
using Clock = std::chrono::steady_clock;

namespace {

// The process serving the project: its working folder is the project and it runs server.mjs.
bool serverProcessIn(const fs::path& project) {
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator("/proc", ec)) {
        const std::string name = entry.path().filename();
        if (name.empty() || name[0] < '1' || name[0] > '9') continue;
        if (fs::read_symlink(entry.path() / "cwd", ec) != project) continue;
        if (readText(entry.path() / "cmdline").find("server.mjs") != std::string::npos) return true;
    }
    return false;
}

double millisSince(Clock::time_point start) { return std::chrono::duration<double, std::milli>(Clock::now() - start).count(); }

double waitForServerProcess(const fs::path& project, Clock::time_point start) {
    while (!serverProcessIn(project)) {
        if (millisSince(start) > 60000) return -1;
        usleep(1000);
    }
    return millisSince(start);
}

}  // namespace

int main() {
    const fs::path base = fs::temp_directory_path() / "tarn-bench-reopen";
    const fs::path bin = fs::canonical("/proc/self/exe").parent_path();
    std::vector<double> tarnServer, tarnPage, shellServer, shellPage;
    int port = freePort();
    makeStorefront(base / "shop", port);
    const fs::path project = fs::canonical(base / "shop");
    for (int i = 0; i < 6; ++i) {
        auto start = Clock::now();
        Child tarn({(bin / "tarn_bench_launch_probe").string(), project.string()});
        double server = waitForServerProcess(project, start);
        bool loaded = tarn.waitFor("loaded", std::chrono::seconds(60)).has_value();
        double page = millisSince(start);
        tarn.stop();
        if (server < 0 || !loaded) {
            std::fprintf(stderr, "run %d: Tarn did not start the server or show the page\n", i);
            return 1;
        }
        // Let the project's server (ended by Tarn's guard) give its port back.
        for (int wait = 0; wait < 500 && (serverProcessIn(project) || pageAnswers(port)); ++wait) usleep(10000);
        start = Clock::now();
        Child shell({"/bin/zsh", "-lc", "npm run dev"}, project);
        double alone = waitForServerProcess(project, start);
        while (!pageAnswers(port) && millisSince(start) < 60000) usleep(1000);
        double answered = millisSince(start);
        shell.stop();
        for (int wait = 0; wait < 500 && (serverProcessIn(project) || pageAnswers(port)); ++wait) usleep(10000);
        std::printf("run %d%s: Tarn: server process %.0f ms, page %.0f ms; login shell: server process %.0f ms, page answers %.0f ms\n", i,
                    i == 0 ? " (plans)" : "", server, page, alone, answered);
        if (i == 0) continue;
        tarnServer.push_back(server);
        tarnPage.push_back(page);
        shellServer.push_back(alone);
        shellPage.push_back(answered);
    }
    fs::remove_all(base);
    const double ts = median(tarnServer), ss = median(shellServer), tp = median(tarnPage), sp = median(shellPage);
    tableRow("re-open: launch to the dev server's process", format("%.0f ms", ts), format("%.0f ms (login shell)", ss),
             format("%.2fx", ts / ss), "<= 1.50x");
    tableRow("re-open: launch to the page in the preview", format("%.0f ms", tp), format("%.0f ms (login shell, page answers)", sp),
             format("%+.0f ms", tp - sp), "-");
    return 0;
}
