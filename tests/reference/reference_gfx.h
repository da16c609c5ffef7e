// The drawing routines written the slow, obvious way: one Bresenham step or one
// loop pass per pixel, every pixel through a plain bounds test. Tests and
// benchmarks compare the real drawing library against these. Coordinates are
// 64-bit, so sums stay exact and nothing off the screen ever comes back onto it.
#pragma once
#include <cstdint>

#include "gfx/surface.h"

namespace ref {

// Stores when 0 <= x <= 319 and 0 <= y <= 239.
void plot(std::int64_t x, std::int64_t y, Rgb565 colour, FrameSurface* surface);

// Bresenham with doubled differences; an error of 0 counts as a step.
void draw_line(std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1, Rgb565 colour,
               FrameSurface* surface);

// One draw_line per row, y0 .. y1.
void fill_rows(std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1, Rgb565 colour,
               FrameSurface* surface);

// 16 lines from (0, y + k - 1) to (320, y + k) in rising then falling red.
void draw_gradient_bar(std::int64_t y, FrameSurface* surface);

// Every picture pixel read in order; those not equal to key plotted.
void blit_keyed(const Rgb565* image, std::int64_t x, std::int64_t y, FrameSurface* surface, Rgb565 key,
                std::int64_t width, std::int64_t height);

// Ink (0x0000) of one cell in screen columns 1-319; codes outside 0-255 draw
// nothing.
void draw_glyph(const Rgb565* sheet, std::int64_t x, std::int64_t y, Rgb565 colour, std::int64_t code,
                FrameSurface* surface);

// Every byte of the string through draw_glyph with the game's font sheet.
void draw_text(std::int64_t x, std::int64_t y, Rgb565 colour, const char* text, FrameSurface* surface);

// Top wall rows 0 .. top - 1 and bottom wall rows top + gap + 1 .. 319, from
// x (clamped to 0) to x + 9 (or 320).
void draw_tunnel_column(std::int64_t x, std::int64_t top, std::int64_t gap, FrameSurface* surface);

}  // namespace ref
