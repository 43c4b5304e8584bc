// Processor time for the time report.
//
// clock() counts in a clock_t, which is 32 bits wide on i386 and wraps after
// about 36 minutes of processor time; the same clock read through
// clock_gettime and kept in 64 bits does not.
#pragma once

#include <time.h>

#include <cstdint>

namespace orlo {

/// A processor-clock reading in microseconds, as clock() gives it.
inline std::int64_t microseconds(const timespec& reading) {
    return static_cast<std::int64_t>(reading.tv_sec) * 1000000 + reading.tv_nsec / 1000;
}

/// Processor time used by the whole process so far, in microseconds.
inline std::int64_t processorTime() {
    timespec now{};
    if (::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now) != 0) return 0;
    return microseconds(now);
}

}  // namespace orlo
