// A display and buttons that exist only in memory: two static buffers, a
// refresh counter, a hook that sees every shown frame, and a scripted button
// source. Tests, tools and the command-line runner drive the game through it.
#pragma once
#include <cstdint>

#include "gfx/surface.h"

// Called with each frame as it is shown: frame number (1 for the first frame
// shown), the buffer index (0 = fb0) and the buffer's pixels.
using HeadlessObserver = void (*)(void* context, std::uint64_t frame, int buffer, const FrameSurface* shown);

// Called at every poll of the buttons: the frame being drawn (1-based) and the
// poll's number (0 for the first poll of the run). Returns false when the
// device delivers nothing, leaving the word as it was.
using HeadlessButtons = bool (*)(void* context, std::uint64_t frame, std::uint64_t poll, std::uint32_t* word);

// Thrown out of the game loop once the frame limit has been shown.
struct HeadlessStop {};

// Black buffers, counters at zero, no observer, no buttons, no limit; also puts
// the display and key globals back to their power-on values.
void headless_start();
void headless_set_observer(HeadlessObserver observer, void* context);
void headless_set_buttons(HeadlessButtons buttons, void* context);
// After the `frames`-th frame is shown (and observed), the loop is left by
// throwing HeadlessStop. 0 means no limit.
void headless_stop_after(std::uint64_t frames);

// Powers on (libc's unseeded rand, black buffers, key table and button word
// reset, no last game) and runs the unmodified game loop with these callbacks
// (either may be null) until `frames` frames are shown, or, with 0, until a
// callback throws HeadlessStop. The runner, the benchmarks and the tests all
// run the game through here.
void headless_run(std::uint64_t frames, HeadlessObserver observe, HeadlessButtons buttons, void* context);

std::uint64_t headless_polls();
