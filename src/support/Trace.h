#pragma once

namespace tarn::trace {

// With TARN_TRACE set, prints "tarn-trace <monotonic µs> <what>" to standard error: how start-up
// and opening are timed from outside (the benchmarks read these lines). Costs a branch otherwise.
void mark(const char* what);

}  // namespace tarn::trace
