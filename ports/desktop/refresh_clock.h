// The desktop's refresh: a 60 Hz clock of our own. The handheld's display
// refreshes 60 times a second and the game counts every speed in pixels per
// refresh, so a desktop monitor's own rate (75, 144 Hz...) must not set the pace.
#pragma once
#include <cstdint>

constexpr std::int64_t NS_PER_SECOND = 1000000000;
constexpr std::int64_t REFRESH_HZ = 60;
// A frame later than this behind its refresh no longer catches up: the clock
// starts afresh from now instead of rushing the missed refreshes through.
constexpr std::int64_t MAX_LATE_NS = 2 * NS_PER_SECOND / REFRESH_HZ;

// Refresh n begins at anchor + n/60 s, computed exactly in nanoseconds, so
// the deadlines do not drift however long the game runs.
struct RefreshClock {
    std::int64_t anchor_ns = 0;
    std::int64_t ticks = 0;  // refreshes since the anchor
};

// Refresh 0 begins at `now_ns`.
void refresh_clock_start(RefreshClock* clock, std::int64_t now_ns);

// Moves to the next refresh and returns when it begins. Called before that
// moment, the caller sleeps until it; called a little after it, the frame is
// simply late and the next refresh keeps its time; called more than MAX_LATE_NS
// after it, the clock restarts at `now_ns` and returns that.
std::int64_t refresh_clock_next(RefreshClock* clock, std::int64_t now_ns);

// CLOCK_MONOTONIC in nanoseconds.
std::int64_t monotonic_ns();

// Sleeps until CLOCK_MONOTONIC reaches `deadline_ns` (returns at once if it has).
void sleep_until_ns(std::int64_t deadline_ns);
