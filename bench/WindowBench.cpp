// Start-up (launch to the window's first frame) and peak memory (the window and its web engine
// processes, with a project open and its page loaded) of Tarn, against a minimal GTK 4 + WebKitGTK
// window that loads the same page. Medians of 5 runs each.
#include "app/TarnApp.h"
#include "BenchSupport.h"

using namespace bench;

namespace {

struct Run {
    double startupMs = 0;
    long memoryKiB = 0;
};

std::optional<Run> measure(const std::vector<std::string>& argv) {
    auto launched = std::chrono::steady_clock::now();
    long long launchedMicros =
        std::chrono::duration_cast<std::chrono::microseconds>(launched.time_since_epoch()).count();
    Child child(argv);
    auto frame = child.waitFor("first-frame ", std::chrono::seconds(60));
    if (!frame) return std::nullopt;
    long long frameMicros = std::atoll(frame->c_str() + 12);
    if (!child.waitFor("loaded", std::chrono::seconds(60))) return std::nullopt;
    Run run;
    run.startupMs = (frameMicros - launchedMicros) / 1000.0;
    run.memoryKiB = peakResidentKiB(child.pid(), {"WebKit"});
    return run;
}

}  // namespace

int main() {
    // Both windows draw as Tarn does on this machine (cairo without a GPU).
    tarn::TarnApp::chooseRenderer();
    fs::path base = fs::temp_directory_path() / "tarn-bench-window";
    const fs::path bin = fs::canonical("/proc/self/exe").parent_path();
    std::vector<double> tarnStart, tarnMemory, minimalStart, minimalMemory;
    for (int i = 0; i < 5; ++i) {
        int port = freePort();
        makeStorefront(base / "project", port);
        auto tarn = measure({(bin / "tarn_bench_launch_probe").string(), (base / "project").string()});
        // The same page, served the same way, for the minimal window.
        int baselinePort = freePort();
        makeStorefront(base / "baseline", baselinePort);
        Child server({"node", "server.mjs", "--port", std::to_string(baselinePort)}, base / "baseline");
        for (int wait = 0; wait < 500 && !pageAnswers(baselinePort); ++wait) usleep(10000);
        auto minimal = measure({(bin / "tarn_bench_minimal_window").string(),
                                "http://localhost:" + std::to_string(baselinePort) + "/"});
        server.stop();
        if (!tarn || !minimal) {
            std::fprintf(stderr, "run %d: a window did not report in time\n", i + 1);
            return 1;
        }
        std::printf("run %d: Tarn %.0f ms, %ld KiB; minimal window %.0f ms, %ld KiB\n", i + 1, tarn->startupMs,
                    tarn->memoryKiB, minimal->startupMs, minimal->memoryKiB);
        tarnStart.push_back(tarn->startupMs);
        tarnMemory.push_back(static_cast<double>(tarn->memoryKiB));
        minimalStart.push_back(minimal->startupMs);
        minimalMemory.push_back(static_cast<double>(minimal->memoryKiB));
        // Let the project's server (ended by Tarn's guard) give its port back.
        usleep(300000);
    }
    fs::remove_all(base);
    double ts = median(tarnStart), ms = median(minimalStart), tm = median(tarnMemory), mm = median(minimalMemory);
    tableRow("start-up to first frame", format("%.0f ms", ts), format("%.0f ms", ms), format("%.2fx", ts / ms), "<= 1.10x");
    tableRow("peak memory, page loaded", format("%.0f MiB", tm / 1024), format("%.0f MiB", mm / 1024),
             format("%.2fx", tm / mm), "<= 1.15x");
    return 0;
}
