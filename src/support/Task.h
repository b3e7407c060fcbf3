#pragma once
#include "support/MainLoop.h"

#include <chrono>
#include <coroutine>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <utility>
#include <variant>
#include <vector>

namespace tarn {

// A lazy coroutine that carries a value or an exception to whoever awaits it. It starts when
// awaited (or spawned) and its awaiter resumes on the thread that finished it: the main thread,
// since every suspension point in this code base resumes there.
template <typename T = void>
class Task;

namespace detail {

template <typename T>
struct TaskPromiseBase {
    std::coroutine_handle<> continuation;
    std::exception_ptr error;

    std::suspend_always initial_suspend() noexcept { return {}; }
    struct FinalAwaiter {
        bool await_ready() noexcept { return false; }
        template <typename P>
        std::coroutine_handle<> await_suspend(std::coroutine_handle<P> h) noexcept {
            auto next = h.promise().continuation;
            return next ? next : std::noop_coroutine();
        }
        void await_resume() noexcept {}
    };
    FinalAwaiter final_suspend() noexcept { return {}; }
    void unhandled_exception() { error = std::current_exception(); }
};

template <typename T>
struct TaskPromise : TaskPromiseBase<T> {
    std::optional<T> value;
    Task<T> get_return_object();
    template <typename U>
    void return_value(U&& v) { value.emplace(std::forward<U>(v)); }
    T take() {
        if (this->error) std::rethrow_exception(this->error);
        return std::move(*value);
    }
};

template <>
struct TaskPromise<void> : TaskPromiseBase<void> {
    Task<void> get_return_object();
    void return_void() {}
    void take() {
        if (error) std::rethrow_exception(error);
    }
};

}  // namespace detail

template <typename T>
class [[nodiscard]] Task {
public:
    using promise_type = detail::TaskPromise<T>;
    using Handle = std::coroutine_handle<promise_type>;

    Task() = default;
    explicit Task(Handle h) : handle_(h) {}
    Task(Task&& other) noexcept : handle_(std::exchange(other.handle_, {})) {}
    Task& operator=(Task&& other) noexcept {
        if (this != &other) {
            if (handle_) handle_.destroy();
            handle_ = std::exchange(other.handle_, {});
        }
        return *this;
    }
    Task(const Task&) = delete;
    Task& operator=(const Task&) = delete;
    ~Task() {
        if (handle_) handle_.destroy();
    }

    bool await_ready() const noexcept { return !handle_ || handle_.done(); }
    std::coroutine_handle<> await_suspend(std::coroutine_handle<> awaiting) noexcept {
        handle_.promise().continuation = awaiting;
        return handle_;
    }
    T await_resume() { return handle_.promise().take(); }

private:
    Handle handle_;
};

template <typename T>
Task<T> detail::TaskPromise<T>::get_return_object() {
    return Task<T>(std::coroutine_handle<TaskPromise<T>>::from_promise(*this));
}
inline Task<void> detail::TaskPromise<void>::get_return_object() {
    return Task<void>(std::coroutine_handle<TaskPromise<void>>::from_promise(*this));
}

// Starts a task on a later turn of the main loop, like a new main-thread task. The task owns
// what it was given; an exception that escapes it is reported, not swallowed.
void spawn(Task<void> task);
// The same, run up to its first suspension now rather than on a later turn of the main loop: for
// work that must start before the loop turns (opening the command line's folder).
void spawnNow(Task<void> task);

// A task started at once, to run alongside whatever starts it; awaiting it waits for its end (and
// rethrows its error). It must be awaited, or it keeps its frame until it ends.
class Started {
public:
    explicit Started(Task<void> task);
    Started(const Started&) = delete;
    Started& operator=(const Started&) = delete;

    struct State {
        bool done = false;
        std::exception_ptr error;
        std::coroutine_handle<> waiter;
    };
    bool await_ready() const noexcept { return state_->done; }
    void await_suspend(std::coroutine_handle<> h) { state_->waiter = h; }
    void await_resume() const {
        if (state_->error) std::rethrow_exception(state_->error);
    }

private:
    std::shared_ptr<State> state_;
};

// Thrown by a cancelled sleep.
class CancellationError : public std::runtime_error {
public:
    CancellationError() : std::runtime_error("The operation was cancelled.") {}
};

// A cancellation flag shared between whoever may cancel and the work that watches it.
class Cancellation {
public:
    Cancellation();
    void cancel() const;
    bool isCancelled() const;
    // Calls `fn` once on cancellation (at once if already cancelled). Returns an id for `unwatch`.
    int watch(std::function<void()> fn) const;
    void unwatch(int id) const;
    // The same flag (copies share it).
    friend bool operator==(const Cancellation& a, const Cancellation& b) { return a.state_ == b.state_; }

private:
    struct State;
    std::shared_ptr<State> state_;
};

// A gate that tasks wait at until it opens, once and for good.
class Latch {
public:
    void open() const { gate_.cancel(); }
    bool isOpen() const { return gate_.isCancelled(); }
    struct Awaiter {
        Cancellation gate;
        bool await_ready() const noexcept { return gate.isCancelled(); }
        void await_suspend(std::coroutine_handle<> h) const {
            gate.watch([h] { postToMain([h] { h.resume(); }); });
        }
        void await_resume() const noexcept {}
    };
    Awaiter wait() const { return Awaiter{gate_}; }

private:
    Cancellation gate_;  // cancelled means open
};

// Suspends for the duration on a main-loop timer; throws CancellationError when cancelled first.
struct SleepAwaiter {
    std::chrono::milliseconds duration;
    std::optional<Cancellation> cancellation;
    struct Shared;
    std::shared_ptr<Shared> shared;

    bool await_ready() const noexcept { return false; }
    void await_suspend(std::coroutine_handle<> h);
    void await_resume();
};
SleepAwaiter sleepFor(std::chrono::milliseconds duration, std::optional<Cancellation> cancellation = std::nullopt);

namespace detail {
void runOnWorker(std::function<void()> work);
}

// Runs `fn` on a worker thread and resumes the awaiting coroutine on the main thread with its
// result (or its exception).
template <typename F>
auto inBackground(F fn) {
    using R = std::invoke_result_t<F>;
    struct Awaiter {
        F fn;
        std::conditional_t<std::is_void_v<R>, std::monostate, std::optional<R>> result;
        std::exception_ptr error;

        bool await_ready() const noexcept { return false; }
        void await_suspend(std::coroutine_handle<> h) {
            detail::runOnWorker([this, h] {
                try {
                    if constexpr (std::is_void_v<R>) fn();
                    else result.emplace(fn());
                } catch (...) {
                    error = std::current_exception();
                }
                postToMain([h] { h.resume(); });
            });
        }
        R await_resume() {
            if (error) std::rethrow_exception(error);
            if constexpr (!std::is_void_v<R>) return std::move(*result);
        }
    };
    return Awaiter{std::move(fn), {}, {}};
}

}  // namespace tarn
