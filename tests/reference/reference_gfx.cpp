#include "tests/reference/reference_gfx.h"

#include <cstring>

#include "assets/assets.h"

namespace ref {

void plot(std::int64_t x, std::int64_t y, Rgb565 colour, FrameSurface* surface) {
    if (x >= 0 && x <= 319 && y >= 0 && y <= 239) surface->pixels[y * 320 + x] = colour;
}

void draw_line(std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1, Rgb565 colour,
               FrameSurface* surface) {
    const std::int64_t dx = x1 > x0 ? x1 - x0 : x0 - x1, dy = y1 > y0 ? y1 - y0 : y0 - y1;
    std::int64_t x = x0, y = y0;
    plot(x, y, colour, surface);
    // Bresenham along the longer axis (y on a tie), the shorter one stepping
    // when the error says so.
    const bool x_major = dx > dy;
    std::int64_t *major = x_major ? &x : &y, *minor = x_major ? &y : &x;
    const std::int64_t end = x_major ? x1 : y1, long2 = 2 * (x_major ? dx : dy), short2 = 2 * (x_major ? dy : dx);
    const std::int64_t step_major = (x_major ? x1 < x0 : y1 < y0) ? -1 : 1;
    const std::int64_t step_minor = (x_major ? y1 < y0 : x1 < x0) ? -1 : 1;
    std::int64_t err = short2 - long2 / 2;
    while (*major != end) {
        if (err >= 0) {
            *minor += step_minor;
            err -= long2;
        }
        *major += step_major;
        err += short2;
        plot(x, y, colour, surface);
    }
}

void fill_rows(std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1, Rgb565 colour,
               FrameSurface* surface) {
    for (std::int64_t row = y0; row <= y1; ++row) draw_line(x0, row, x1, row, colour, surface);
}

void draw_gradient_bar(std::int64_t y, FrameSurface* surface) {
    for (int k = 0; k < 16; ++k) {
        const int red = k < 8 ? 4 * k : 4 * (15 - k);
        draw_line(0, y + k - 1, 320, y + k, static_cast<Rgb565>(red << 11), surface);
    }
}

void blit_keyed(const Rgb565* image, std::int64_t x, std::int64_t y, FrameSurface* surface, Rgb565 key,
                std::int64_t width, std::int64_t height) {
    std::int64_t i = 0;
    for (std::int64_t row = 0; row < height; ++row)
        for (std::int64_t col = 0; col < width; ++col, ++i)
            if (image[i] != key) plot(x + col, y + row, image[i], surface);
}

void draw_glyph(const Rgb565* sheet, std::int64_t x, std::int64_t y, Rgb565 colour, std::int64_t code,
                FrameSurface* surface) {
    if (code < 0 || code > 255) return;
    const std::int64_t cx = (code % 32) * 8, cy = (code / 32) * 16;
    for (std::int64_t r = 0; r < 16; ++r)
        for (std::int64_t c = 0; c < 8; ++c)
            if (x + c >= 1 && sheet[(cy + r) * 256 + cx + c] == 0x0000) plot(x + c, y + r, colour, surface);
}

void draw_text(std::int64_t x, std::int64_t y, Rgb565 colour, const char* text, FrameSurface* surface) {
    const std::size_t n = std::strlen(text);
    for (std::size_t i = 0; i < n; ++i)
        draw_glyph(g_font_sheet, x + 8 * static_cast<std::int64_t>(i), y, colour,
                   static_cast<unsigned char>(text[i]), surface);
}

void draw_tunnel_column(std::int64_t x, std::int64_t top, std::int64_t gap, FrameSurface* surface) {
    std::int64_t right = x + 9;
    if (right > 319) right = 320;
    const std::int64_t left = x < 0 ? 0 : x;
    fill_rows(left, 0, right, top - 1, COLOR_WALL, surface);
    fill_rows(left, top + gap + 1, right, 319, COLOR_WALL, surface);
}

}  // namespace ref
