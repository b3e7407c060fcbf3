#include "support/StallProbe.h"

#include <algorithm>
#include <glib.h>

namespace tarn {

StallProbe::StallProbe(std::chrono::milliseconds tick) : tickMicros_(std::chrono::microseconds(tick).count()) {
    last_ = g_get_monotonic_time();
    // Above the frame clock's and every posted task's priority: it runs as soon as the loop turns.
    source_ = g_timeout_add_full(G_PRIORITY_HIGH, static_cast<guint>(tick.count()), reinterpret_cast<GSourceFunc>(&StallProbe::onTick), this,
                                 nullptr);
}

StallProbe::~StallProbe() {
    if (source_) g_source_remove(source_);
}

void StallProbe::reset() {
    last_ = g_get_monotonic_time();
    longest_ = std::chrono::microseconds(0);
}

int StallProbe::onTick(void* data) {
    auto* self = static_cast<StallProbe*>(data);
    const long long now = g_get_monotonic_time();
    const long long away = now - self->last_ - self->tickMicros_;
    self->longest_ = std::max(self->longest_, std::chrono::microseconds(std::max(away, 0LL)));
    self->last_ = now;
    return G_SOURCE_CONTINUE;
}

}  // namespace tarn
