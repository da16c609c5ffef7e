// Double buffering: the display shows one buffer while the next frame is drawn
// into the other; flip_screen swaps them at vertical sync.
#pragma once
#include <cstdint>

#include "gfx/surface.h"

// Where the display controller finds each buffer; the flip writes these into
// its address registers. Any buffer other than g_frame[0] is shown as fb1.
constexpr std::uint32_t DISPLAY_ADDR_FB0 = 0x03101000;
constexpr std::uint32_t DISPLAY_ADDR_FB1 = 0x03381000;

extern FrameSurface* g_frame[2];
extern int g_back_index;             // index in g_frame of the buffer being drawn
extern FrameSurface* g_draw_target;  // where all drawing goes; g_frame[g_back_index]

// Makes buffer 0 the drawing target, as at power-on; the display is untouched.
void reset_display_state();

// Shows `buffer` from the next refresh on; waits for vertical sync first when
// `wait` is nonzero.
void show_buffer(FrameSurface* buffer, int wait);

// Ends a frame: waits for vertical sync, shows the finished buffer and makes
// the other one the drawing target.
void flip_screen();
