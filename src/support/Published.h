#pragma once
#include <sigc++/signal.h>

#include <utility>

namespace tarn {

// A value the window shows: every assignment (and every change made through `modify`) is
// announced to its observers, on the main thread, whether or not the value differs.
template <typename T>
class Published {
public:
    Published() = default;
    explicit Published(T initial) : value_(std::move(initial)) {}
    Published(const Published&) = delete;
    Published& operator=(const Published&) = delete;

    const T& get() const { return value_; }
    const T& operator*() const { return value_; }
    const T* operator->() const { return &value_; }

    Published& operator=(T value) {
        value_ = std::move(value);
        changed_.emit();
        return *this;
    }
    // Changes the value in place (a list entry, say), then announces it.
    template <typename F>
    void modify(F&& change) {
        change(value_);
        changed_.emit();
    }

    sigc::connection observe(sigc::slot<void()> slot) { return changed_.connect(std::move(slot)); }

private:
    T value_{};
    sigc::signal<void()> changed_;
};

}  // namespace tarn
