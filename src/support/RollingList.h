#pragma once
#include <cstdint>
#include <deque>
#include <utility>

namespace tarn {

// A list that grows at its end and drops its oldest entries past a limit. It counts what it
// dropped and how often it was emptied, so a view can append and drop rows to match it instead
// of rebuilding them all.
template <typename T>
class RollingList {
public:
    using const_iterator = typename std::deque<T>::const_iterator;

    std::size_t size() const { return items_.size(); }
    bool empty() const { return items_.empty(); }
    const T& operator[](std::size_t i) const { return items_[i]; }
    const T& front() const { return items_.front(); }
    const T& back() const { return items_.back(); }
    const_iterator begin() const { return items_.begin(); }
    const_iterator end() const { return items_.end(); }

    void push_back(T item) { items_.push_back(std::move(item)); }
    // Drops the oldest entries until at most `limit` remain.
    void trimTo(std::size_t limit) {
        while (items_.size() > limit) {
            items_.pop_front();
            ++firstIndex_;
        }
    }
    void clear() {
        items_.clear();
        firstIndex_ = 0;
        ++generation_;
    }

    // The position of the first entry among all entries added since the last clear.
    std::uint64_t firstIndex() const { return firstIndex_; }
    std::uint64_t generation() const { return generation_; }

private:
    std::deque<T> items_;
    std::uint64_t firstIndex_ = 0;
    std::uint64_t generation_ = 0;
};

}  // namespace tarn
