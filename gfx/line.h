// Lines, filled rows and the menu's red band. Each draws exactly the part of
// its shape that lies on the screen: end points may lie anywhere in the 32-bit
// range, a shape far off the screen never comes back onto it, and no call
// costs more than the screen it can reach.
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
