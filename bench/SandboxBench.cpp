// What the sandbox costs a project: its install (`npm ci` from the package cache) and its dev
// server's start (launch to the page answering), run the way Tarn runs them (`zsh -lc`), inside
// bubblewrap and without, alternating, on the starters given. Medians.
#include "BenchSupport.h"
#include "process/Sandbox.h"

using namespace bench;
using Clock = std::chrono::steady_clock;

namespace {

double millisSince(Clock::time_point start) { return std::chrono::duration<double, std::milli>(Clock::now() - start).count(); }

std::vector<std::string> command(const std::string& line, const fs::path& project, bool sandboxed) {
    std::vector<std::string> plain{"/bin/zsh", "-lc", line};
    return sandboxed ? tarn::sandbox::wrap(plain, project.string()) : plain;
}

// Until the install ends; a negative time when it failed.
double install(const fs::path& project, bool sandboxed) {
    const auto start = Clock::now();
    Child child(command("npm ci --prefer-offline --no-audit --no-fund --loglevel=error > /dev/null 2>&1 && echo installed", project, sandboxed), project);
    const bool done = child.waitFor("installed", std::chrono::minutes(5)).has_value();
    return done ? millisSince(start) : -1;
}

// Until the page answers on `port`; a negative time when it never did.
double serve(const fs::path& project, bool next, int port, bool sandboxed) {
    const std::string line = "npm run dev -- --port " + std::to_string(port) + (next ? "" : " --strictPort") + " > /dev/null 2>&1";
    const auto start = Clock::now();
    Child child(command(line, project, sandboxed), project);
    while (!pageAnswers(port)) {
        if (millisSince(start) > 120000) return -1;
        usleep(2000);
    }
    const double took = millisSince(start);
    child.stop();
    for (int wait = 0; wait < 500 && pageAnswers(port); ++wait) usleep(10000);
    return took;
}

}  // namespace

int main(int argc, char** argv) {
    if (auto why = tarn::sandbox::unavailable()) {
        std::fprintf(stderr, "sandbox: %s\n", why->c_str());
        return 1;
    }
    for (int i = 1; i < argc; ++i) {
        const fs::path project = fs::canonical(argv[i]);
        const std::string name = project.filename();
        const bool next = name.rfind("next", 0) == 0;
        std::vector<double> installs[2], starts[2];
        // The first of each is a warm-up (caches, the page's first compile), not counted.
        for (int run = 0; run < 6; ++run) {
            for (bool sandboxed : {false, true}) {
                const double i = install(project, sandboxed);
                const double s = i < 0 ? -1 : serve(project, next, freePort(), sandboxed);
                std::printf("%s run %d%s %s: install %.0f ms, dev server %.0f ms\n", name.c_str(), run, run == 0 ? " (warm-up)" : "",
                            sandboxed ? "sandboxed" : "plain", i, s);
                std::fflush(stdout);
                if (i < 0 || s < 0) return 1;
                if (run == 0) continue;
                installs[sandboxed].push_back(i);
                starts[sandboxed].push_back(s);
            }
        }
        const double ip = median(installs[0]), is = median(installs[1]), sp = median(starts[0]), ss = median(starts[1]);
        tableRow("sandbox: install, " + name, format("%.0f ms", is), format("%.0f ms (no sandbox)", ip), format("%.2fx", is / ip), "<= 1.05x");
        tableRow("sandbox: dev server start, " + name, format("%.0f ms", ss), format("%.0f ms (no sandbox)", sp), format("%.2fx", ss / sp),
                 "<= 1.05x");
    }
    return 0;
}
