#include "support/Trace.h"

#include <cstdio>
#include <cstdlib>
#include <glib.h>

namespace tarn::trace {

namespace {

bool enabled() {
    static const bool on = std::getenv("TARN_TRACE") != nullptr;
    return on;
}

}  // namespace

void mark(const char* what) {
    if (!enabled()) return;
    std::fprintf(stderr, "tarn-trace %lld %s\n", static_cast<long long>(g_get_monotonic_time()), what);
}

}  // namespace tarn::trace
