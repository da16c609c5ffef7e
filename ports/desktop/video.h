// The desktop's display: a window showing the 320 x 240 frame, scaled by a
// whole number with square pixels and letterboxed, the status line beneath it,
// the pause shown over it where that line is left out, and our own 60 Hz
// refresh clock. Nothing here ever draws into the game's buffers.
#pragma once
#include <cstdint>
#include <string>

#include "gfx/sprite.h"
#include "gfx/surface.h"

// Where the frame goes in a window or on a whole screen.
struct FrameFit {
    int scale;          // whole pixels per frame pixel
    int x, y;           // top-left corner of the scaled frame
    int width, height;  // 320 * scale by 240 * scale
    bool rows_below;    // whether the rows asked for beneath the frame fit in
};

// The frame scaled by the largest whole number that fits `width` x `height`
// pixels (at least 1, cut at the edges on a smaller screen) and centred; the
// rest stays black. 640 x 480 takes it at x2 exactly, 720 x 720 at x2 with
// bars above and below, 480 x 320 at x1 with bars all round, 1280 x 720 at x3.
// With `rows_below`, that many rows (at the same scale) go under the frame and
// frame and rows are centred together, unless they would cost the frame a
// whole step of scale (640 x 480 again): then the rows are left out.
FrameFit fit_frame(int width, int height, int rows_below = 0);

constexpr int STATUS_ROWS = GLYPH_HEIGHT;  // the window grows by one text row

// Draws `text` centred into the top STATUS_ROWS rows of `strip`, on black, in
// the colour of the game's own score line when `highlight`, else white.
void status_line_draw(const char* text, bool highlight, FrameSurface* strip);

// Makes room for the status line beneath the frame: the window opened next is
// one text row taller. Call before video_open.
void video_add_status_line();

// Opens the window ("Burrowrotor", 320*scale x 240*scale, the chopper as its
// icon, its class the desktop file's id). On failure returns false with SDL's reason.
bool video_open(int scale, bool fullscreen, std::string* error);

// Copies the frame to the window and presents it.
void video_show(const FrameSurface* frame);

// Sets the status line's text (at most 40 characters); returns whether it changed.
bool status_line_set(const char* text, bool highlight);

// Whether the game is paused: where the status line is left out, the frame is
// shown dimmed with "PAUSED" over it.
void video_set_paused(bool paused);

// Presents the last frame again (after the window was uncovered or resized,
// or the pause or the status line changed).
void video_redraw();

void video_toggle_fullscreen();

// Sets the window's title bar text.
void video_set_title(const char* title);

void video_close();

// Whether to wait for the monitor's refresh when presenting, given its rate in
// Hz (0 when unknown). Only a monitor of 120 Hz or more: there the wait is
// shorter than half of our own 60 Hz period, so it cannot hold the game back.
bool video_wants_vsync(int monitor_hz);

// The refresh: a 60 Hz clock of our own. The handheld's display refreshes 60
// times a second and the game counts every speed in pixels per refresh, so a
// desktop monitor's own rate (75, 144 Hz...) must not set the pace.
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
