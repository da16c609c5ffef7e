// Lines, filled rows and the menu's red band. Every pixel goes through the
// 16-bit clipped store, so end points may lie anywhere.
#pragma once
#include <cstdint>

#include "gfx/surface.h"

// Straight line from (x0, y0) to (x1, y1), both ends included, integer Bresenham
// stepping; where the true line passes exactly half-way, the minor coordinate
// moves toward the end point.
void draw_line(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1, Rgb565 colour,
               FrameSurface* surface);

// Rows y0 .. y1 each drawn as a line from x0 to x1; nothing when y0 > y1.
void fill_rows(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1, Rgb565 colour,
               FrameSurface* surface);

// The 16-shade red band under the selected menu row, upper edge at row y; its
// left half sits one row higher than its right half.
void draw_gradient_bar(std::int32_t y, FrameSurface* surface);

// The same line with 64-bit end points, so that callers adding offsets to
// 32-bit values never overflow.
void draw_line_wide(std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1, Rgb565 colour,
                    FrameSurface* surface);
void fill_rows_wide(std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1, Rgb565 colour,
                    FrameSurface* surface);
