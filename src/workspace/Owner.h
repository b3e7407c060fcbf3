#pragma once
#include "support/MainLoop.h"

#include <memory>
#include <utility>

namespace tarn {

// The workspace controller as its units see it: held while their asynchronous work runs, and
// asked by work that arrives later (a server's line, an agent's progress) whether it is still there.
class Owner {
public:
    void set(std::weak_ptr<void> owner) { owner_ = std::move(owner); }
    std::shared_ptr<void> hold() const { return owner_.lock(); }
    const std::weak_ptr<void>& weak() const { return owner_; }
    // Runs `fn` as a new main-thread task, unless the controller is gone by then.
    template <typename F>
    void post(F&& fn) const {
        postToMain([owner = owner_, fn = std::forward<F>(fn)]() mutable {
            if (owner.lock()) fn();
        });
    }

private:
    std::weak_ptr<void> owner_;
};

}  // namespace tarn
