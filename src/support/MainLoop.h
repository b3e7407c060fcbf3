#pragma once
#include <exception>
#include <functional>
#include <memory>
#include <type_traits>
#include <utility>

namespace tarn {

namespace detail {
struct PostedWork {
    virtual ~PostedWork() = default;
    virtual void run() = 0;
};
template <typename F>
struct PostedFunction final : PostedWork {
    explicit PostedFunction(F f) : fn(std::move(f)) {}
    void run() override { fn(); }
    F fn;
};
void postWork(std::unique_ptr<PostedWork> work, bool whenIdle = false);
}  // namespace detail

// Runs `fn` on the main thread on a later turn of the main loop, after the work in progress and
// after everything posted before it. Safe to call from any thread. `fn` may be move-only.
template <typename F>
void postToMain(F&& fn) {
    detail::postWork(std::make_unique<detail::PostedFunction<std::decay_t<F>>>(std::forward<F>(fn)));
}

// The same, once nothing more urgent is waiting: after the window's next frame is drawn.
template <typename F>
void postWhenIdle(F&& fn) {
    detail::postWork(std::make_unique<detail::PostedFunction<std::decay_t<F>>>(std::forward<F>(fn)), true);
}

// Where an exception that escapes a spawned task goes. The default prints it to standard error.
void setUncaughtErrorHandler(std::function<void(std::exception_ptr)> handler);
void reportUncaughtError(std::exception_ptr error);

}  // namespace tarn
