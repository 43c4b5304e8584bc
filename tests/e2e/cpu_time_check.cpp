// The time report's clock arithmetic on the platform at hand: readings past
// 36 minutes of processor time, where a 32-bit clock_t would have wrapped,
// still come out right. Built without GoogleTest so that every platform
// build runs it.
#include <cstdio>

#include "CpuTime.h"

int main() {
    int failures = 0;
    const struct {
        long seconds;
        long nanoseconds;
        long long expected;
    } cases[] = {{0, 999, 0}, {1, 500000000, 1500000}, {2147, 483648000, 2147483648LL}, {3000, 5000, 3000000005LL},
                 {400000, 0, 400000000000LL}};
    for (const auto& c : cases) {
        timespec reading{};
        reading.tv_sec = c.seconds;
        reading.tv_nsec = c.nanoseconds;
        const long long got = orlo::microseconds(reading);
        if (got != c.expected) {
            std::printf("FAIL: %ld s %ld ns gave %lld us, expected %lld\n", c.seconds, c.nanoseconds, got, c.expected);
            ++failures;
        }
    }
    const auto before = orlo::processorTime();
    volatile double sink = 0;
    for (int i = 0; i < 3000000; ++i) sink = sink + i;
    if (orlo::processorTime() < before) {
        std::printf("FAIL: the processor clock went backwards\n");
        ++failures;
    }
    return failures == 0 ? 0 : 1;
}
