#pragma once
// For the benchmarks that drive Tarn's window in their own process: turning the main loop until
// something holds, and closing the window as the application does, its process groups seen to
// their end.
#include "app/MainWindow.h"
#include "process/ProcessGroupGuard.h"

#include <chrono>
#include <functional>

namespace bench {

inline bool turnUntil(const std::function<bool()>& done, std::chrono::seconds limit = std::chrono::seconds(120)) {
    auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done() && std::chrono::steady_clock::now() < deadline) g_main_context_iteration(nullptr, TRUE);
    return done();
}

// Runs a task on the main loop to its end; false when `limit` passes first.
inline bool runToEnd(tarn::Task<void> task, std::chrono::seconds limit = std::chrono::seconds(120)) {
    bool done = false;
    tarn::spawn([](tarn::Task<void> task, bool& done) -> tarn::Task<void> {
        co_await task;
        done = true;
    }(std::move(task), done));
    return turnUntil([&] { return done; }, limit);
}

inline void closeWindow(tarn::AppViewModel& model, tarn::MainWindow* window) {
    model.shutdown();
    window->close();
    delete window;
    bool ended = false;
    tarn::spawn([](bool& ended) -> tarn::Task<void> {
        co_await tarn::waitForProcessGroupsToEnd(std::chrono::seconds(4));
        ended = true;
    }(ended));
    turnUntil([&] { return ended; }, std::chrono::seconds(10));
}

}  // namespace bench
