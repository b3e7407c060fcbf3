#include "support/Task.h"

#include <glib.h>
#include <map>

namespace tarn {

namespace {

// Owns a spawned task until it finishes; destroys itself at its end.
struct Detached {
    struct promise_type {
        Detached get_return_object() { return {}; }
        std::suspend_never initial_suspend() noexcept { return {}; }
        std::suspend_never final_suspend() noexcept { return {}; }
        void return_void() {}
        void unhandled_exception() { reportUncaughtError(std::current_exception()); }
    };
};

Detached runDetached(Task<void> task) { co_await task; }

Detached runStarted(Task<void> task, std::shared_ptr<Started::State> state) {
    try {
        co_await task;
    } catch (...) {
        state->error = std::current_exception();
    }
    state->done = true;
    if (auto waiter = std::exchange(state->waiter, nullptr)) waiter.resume();
}

}  // namespace

void spawn(Task<void> task) {
    postToMain([task = std::move(task)]() mutable { runDetached(std::move(task)); });
}

void spawnNow(Task<void> task) { runDetached(std::move(task)); }

Started::Started(Task<void> task) : state_(std::make_shared<State>()) { runStarted(std::move(task), state_); }

struct Cancellation::State {
    bool cancelled = false;
    int nextId = 0;
    std::map<int, std::function<void()>> watchers;
};

Cancellation::Cancellation() : state_(std::make_shared<State>()) {}

void Cancellation::cancel() const {
    if (state_->cancelled) return;
    state_->cancelled = true;
    auto watchers = std::move(state_->watchers);
    state_->watchers.clear();
    for (auto& [id, fn] : watchers) fn();
}

bool Cancellation::isCancelled() const { return state_->cancelled; }

int Cancellation::watch(std::function<void()> fn) const {
    if (state_->cancelled) {
        fn();
        return -1;
    }
    int id = state_->nextId++;
    state_->watchers.emplace(id, std::move(fn));
    return id;
}

void Cancellation::unwatch(int id) const { state_->watchers.erase(id); }

struct SleepAwaiter::Shared {
    std::coroutine_handle<> handle;
    guint timer = 0;
    int watchId = -1;
    bool cancelled = false;
    std::optional<Cancellation> cancellation;
};

SleepAwaiter sleepFor(std::chrono::milliseconds duration, std::optional<Cancellation> cancellation) {
    return SleepAwaiter{duration, std::move(cancellation), nullptr};
}

void SleepAwaiter::await_suspend(std::coroutine_handle<> h) {
    shared = std::make_shared<Shared>();
    shared->handle = h;
    shared->cancellation = cancellation;
    auto* holder = new std::shared_ptr<Shared>(shared);
    shared->timer = g_timeout_add_full(
        G_PRIORITY_DEFAULT, static_cast<guint>(std::max<std::int64_t>(0, duration.count())),
        [](gpointer data) -> gboolean {
            auto& s = *static_cast<std::shared_ptr<Shared>*>(data);
            s->timer = 0;
            if (s->cancellation && s->watchId >= 0) s->cancellation->unwatch(s->watchId);
            s->handle.resume();
            return G_SOURCE_REMOVE;
        },
        holder, [](gpointer data) { delete static_cast<std::shared_ptr<Shared>*>(data); });
    if (cancellation) {
        std::weak_ptr<Shared> weak = shared;
        shared->watchId = cancellation->watch([weak] {
            auto s = weak.lock();
            if (!s || s->timer == 0) return;
            g_source_remove(s->timer);
            s->timer = 0;
            s->cancelled = true;
            // Resume on a later turn, never inside whoever called cancel().
            postToMain([s] { s->handle.resume(); });
        });
    }
}

void SleepAwaiter::await_resume() {
    if (shared && shared->cancelled) throw CancellationError();
}

void detail::runOnWorker(std::function<void()> work) {
    static GThreadPool* pool = [] {
        return g_thread_pool_new(
            [](gpointer data, gpointer) {
                std::unique_ptr<std::function<void()>> fn(static_cast<std::function<void()>*>(data));
                (*fn)();
            },
            nullptr, 4, FALSE, nullptr);
    }();
    g_thread_pool_push(pool, new std::function<void()>(std::move(work)), nullptr);
}

}  // namespace tarn
