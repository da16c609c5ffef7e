#include "ports/desktop/refresh_clock.h"

#include <time.h>

#include <cerrno>

namespace {

std::int64_t refresh_time(const RefreshClock* clock, std::int64_t tick) {
    // Whole seconds and the remaining ticks separately: exact, and no overflow
    // for centuries of play.
    return clock->anchor_ns + (tick / REFRESH_HZ) * NS_PER_SECOND + (tick % REFRESH_HZ) * NS_PER_SECOND / REFRESH_HZ;
}

}  // namespace

void refresh_clock_start(RefreshClock* clock, std::int64_t now_ns) {
    clock->anchor_ns = now_ns;
    clock->ticks = 0;
}

std::int64_t refresh_clock_next(RefreshClock* clock, std::int64_t now_ns) {
    clock->ticks += 1;
    const std::int64_t due = refresh_time(clock, clock->ticks);
    if (now_ns - due > MAX_LATE_NS) {
        refresh_clock_start(clock, now_ns);
        return now_ns;
    }
    return due;
}

std::int64_t monotonic_ns() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<std::int64_t>(t.tv_sec) * NS_PER_SECOND + t.tv_nsec;
}

void sleep_until_ns(std::int64_t deadline_ns) {
    timespec t{};
    t.tv_sec = static_cast<time_t>(deadline_ns / NS_PER_SECOND);
    t.tv_nsec = static_cast<long>(deadline_ns % NS_PER_SECOND);
    // Absolute sleep: a signal that interrupts it just sleeps again to the same moment.
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &t, nullptr) == EINTR) {
    }
}
