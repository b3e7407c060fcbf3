#pragma once
#include <chrono>

namespace tarn {

// How long the main loop goes without turning: a high-priority tick every few milliseconds notes
// the longest gap between two of its turns. A frame is missed when the gap passes ~16 ms.
class StallProbe {
public:
    explicit StallProbe(std::chrono::milliseconds tick = std::chrono::milliseconds(5));
    ~StallProbe();
    StallProbe(const StallProbe&) = delete;
    StallProbe& operator=(const StallProbe&) = delete;

    // The longest time the loop spent away, beyond the tick itself, since the start or reset.
    std::chrono::microseconds longest() const { return longest_; }
    void reset();

private:
    static int onTick(void* self);
    unsigned source_ = 0;
    long long tickMicros_;
    long long last_ = 0;
    std::chrono::microseconds longest_{0};
};

}  // namespace tarn
