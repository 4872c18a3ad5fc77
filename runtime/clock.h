// The millisecond clocks of the run-time: the wrapping tick count and a monotonic clock.
#pragma once

#include <cstdint>

// Milliseconds since an arbitrary start (wraps at 2^32).
std::uint32_t TickCount();
// Milliseconds from a monotonic clock with an arbitrary start; never wraps.
std::uint64_t MonotonicMilliseconds();
