// Both clocks read the platform's one monotonic millisecond clock.
#include "runtime/clock.h"

#include "runtime/platform.h"

std::uint32_t TickCount() { return static_cast<std::uint32_t>(PlatformMilliseconds()); }

std::uint64_t MonotonicMilliseconds() { return PlatformMilliseconds(); }
