// Colour-keyed pictures and 8 x 16 bitmap text.
#pragma once
#include <cstdint>

#include "gfx/surface.h"

constexpr int FONT_SHEET_WIDTH = 256;
constexpr int FONT_SHEET_HEIGHT = 128;
constexpr int GLYPH_WIDTH = 8;
constexpr int GLYPH_HEIGHT = 16;

// Copies a width x height picture, read in place row by row, with its top-left
// corner at (x, y), leaving out pixels equal to key; every pixel passes the
// clipped store.
void blit_keyed(const Rgb565* image, std::int16_t x, std::int16_t y, FrameSurface* surface, Rgb565 key,
                std::uint16_t width, std::uint16_t height);

// Paints the ink (0x0000) of character cell `code` of a 256 x 128 font sheet
// in one colour, cell corner at (x, y). Never draws into screen column 0;
// rows off the surface and codes outside 0-255 draw nothing.
void draw_glyph(const Rgb565* sheet, std::int32_t x, std::int32_t y, Rgb565 colour, std::int32_t code,
                FrameSurface* surface);

// A NUL-terminated string in the game's font, one cell every 8 pixels; every
// byte, control codes included, draws its own cell.
void draw_text(std::int32_t x, std::int32_t y, Rgb565 colour, const char* text, FrameSurface* surface);
