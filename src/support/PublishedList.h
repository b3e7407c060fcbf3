#pragma once
#include <sigc++/signal.h>

#include <cstddef>
#include <functional>
#include <iterator>
#include <utility>
#include <vector>

namespace tarn {

// A list the window shows, announced item by item: each change says where it happened, so a view
// adds, changes or removes only those rows instead of comparing the whole list.
template <typename T>
class PublishedList {
public:
    struct Change {
        enum class Kind { inserted, changed, removed };
        Kind kind;
        std::size_t position;
        std::size_t count;
    };

    PublishedList() = default;
    PublishedList(const PublishedList&) = delete;
    PublishedList& operator=(const PublishedList&) = delete;

    const std::vector<T>& operator*() const { return items_; }
    const std::vector<T>* operator->() const { return &items_; }

    void append(T item) {
        items_.push_back(std::move(item));
        announce({Change::Kind::inserted, items_.size() - 1, 1});
    }
    // Changes one item in place, then announces it.
    template <typename F>
    void change(std::size_t position, F&& apply) {
        apply(items_.at(position));
        announce({Change::Kind::changed, position, 1});
    }
    T remove(std::size_t position) {
        T item = std::move(items_.at(position));
        items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(position));
        announce({Change::Kind::removed, position, 1});
        return item;
    }
    // Takes `next` as the whole list, announcing only what differs: the items the same at both
    // ends stay, those between are removed and `next`'s inserted. A list read again from disk
    // with one item more announces that one.
    template <typename Same = std::equal_to<>>
    void assign(std::vector<T> next, Same same = {}) {
        std::size_t front = 0, back = 0;
        while (front < items_.size() && front < next.size() && same(items_[front], next[front])) ++front;
        while (back < items_.size() - front && back < next.size() - front &&
               same(items_[items_.size() - 1 - back], next[next.size() - 1 - back])) {
            ++back;
        }
        const std::size_t removed = items_.size() - front - back, inserted = next.size() - front - back;
        if (removed == 0 && inserted == 0) return;
        items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(front), items_.end() - static_cast<std::ptrdiff_t>(back));
        items_.insert(items_.begin() + static_cast<std::ptrdiff_t>(front), std::make_move_iterator(next.begin() + static_cast<std::ptrdiff_t>(front)),
                      std::make_move_iterator(next.end() - static_cast<std::ptrdiff_t>(back)));
        if (removed > 0) changes_.emit({Change::Kind::removed, front, removed});
        if (inserted > 0) changes_.emit({Change::Kind::inserted, front, inserted});
        any_.emit();
    }
    // Any change at all.
    sigc::connection observe(sigc::slot<void()> slot) { return any_.connect(std::move(slot)); }
    sigc::connection observeChanges(sigc::slot<void(const Change&)> slot) { return changes_.connect(std::move(slot)); }

private:
    void announce(const Change& change) {
        changes_.emit(change);
        any_.emit();
    }

    std::vector<T> items_;
    sigc::signal<void(const Change&)> changes_;
    sigc::signal<void()> any_;
};

}  // namespace tarn
