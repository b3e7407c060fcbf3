// Lines per second that the shell command runner and the dev server controller deliver for a
// child printing 1,000,000 short lines, with peak memory, against `cat` of the same lines into
// /dev/null. Each measurement runs in a fresh process of its own so peak memory is its own.
#include "process/DevServerController.h"
#include "process/ShellCommandRunner.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <glib.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace tarn;
using Clock = std::chrono::steady_clock;

namespace {

constexpr long kLines = 1000000;
const std::string kProducer = "yes 'GET /api/items 200 in 12ms' | head -n " + std::to_string(kLines);

long peakKilobytes(int who) {
    rusage usage{};
    getrusage(who, &usage);
    return usage.ru_maxrss;
}

void report(const char* name, long lines, double seconds, long peakKb) {
    std::printf("%-22s %9ld lines  %7.3f s  %10.0f lines/s  peak %7ld KiB\n", name, lines, seconds, lines / seconds, peakKb);
}

int benchRunner() {
    long lines = 0;
    bool done = false;
    auto start = Clock::now();
    spawn([](long& count, bool& finished) -> Task<void> {
        auto run = ShellCommandRunner::runStreaming(std::string("/bin/sh"), {std::string("-c"), kProducer},
                                                    std::nullopt, [&count](const std::string&) { ++count; });
        co_await run;
        finished = true;
    }(lines, done));
    while (!done) g_main_context_iteration(nullptr, TRUE);
    double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    report("runStreaming", lines, seconds, peakKilobytes(RUSAGE_SELF));
    return 0;
}

int benchDevServer() {
    long lines = 0;
    bool done = false;
    DevServerController controller;
    controller.onOutputLine = [&](const std::string&) { ++lines; };
    controller.onExit = [&](int) { done = true; };
    auto start = Clock::now();
    controller.start(ProjectContext{Url::forFile("/tmp"), SupportedStack::nextJS, PackageManager::npm, "", kProducer,
                                    *Url::parse("http://localhost:3000"), "", {}, {}, std::nullopt});
    while (!done) g_main_context_iteration(nullptr, TRUE);
    double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    report("DevServerController", lines - 1, seconds, peakKilobytes(RUSAGE_SELF));  // less the start line
    return 0;
}

int benchCat() {
    auto start = Clock::now();
    int status = std::system((kProducer + " | cat > /dev/null").c_str());
    double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    report("cat > /dev/null", kLines, seconds, peakKilobytes(RUSAGE_CHILDREN));
    return status == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1) {
        if (!std::strcmp(argv[1], "runner")) return benchRunner();
        if (!std::strcmp(argv[1], "devserver")) return benchDevServer();
        if (!std::strcmp(argv[1], "cat")) return benchCat();
        std::fprintf(stderr, "usage: %s [runner|devserver|cat]\n", argv[0]);
        return 2;
    }
    for (const char* mode : {"cat", "runner", "devserver"}) {
        pid_t pid = fork();
        if (pid == 0) {
            execl("/proc/self/exe", argv[0], mode, static_cast<char*>(nullptr));
            _exit(127);
        }
        int status = 0;
        waitpid(pid, &status, 0);
    }
    return 0;
}
