#include "gfx/sprite.h"

#include <cstring>

#include "assets/assets.h"
#include "gfx/span.h"

using gfx_detail::for_each_window;
using gfx_detail::wrap16;

void blit_keyed(const Rgb565* image, std::int16_t x, std::int16_t y, FrameSurface* surface, Rgb565 key,
                std::uint16_t width, std::uint16_t height) {
    // Picture column c lands on screen column low16(x + c): find the columns
    // and rows that reach the screen once, then copy only those.
    struct Range {
        std::int64_t first, last;
    };
    Range cols[2], rows[2];
    int ncols = 0, nrows = 0;
    for_each_window(x, 1, width, SCREEN_WIDTH, [&](std::int64_t a, std::int64_t b) {
        if (ncols < 2) cols[ncols++] = {a, b};
    });
    if (ncols == 0) return;
    for_each_window(y, 1, height, SCREEN_HEIGHT, [&](std::int64_t a, std::int64_t b) {
        if (nrows < 2) rows[nrows++] = {a, b};
    });
    for (int ri = 0; ri < nrows; ++ri) {
        for (std::int64_t r = rows[ri].first; r <= rows[ri].last; ++r) {
            const Rgb565* src = image + r * width;
            Rgb565* dst = surface->pixels + wrap16(y + r) * SCREEN_WIDTH;
            for (int ci = 0; ci < ncols; ++ci) {
                const std::int64_t sx = wrap16(x + cols[ci].first);
                for (std::int64_t c = cols[ci].first; c <= cols[ci].last; ++c) {
                    const Rgb565 p = src[c];
                    if (p != key) dst[sx + (c - cols[ci].first)] = p;
                }
            }
        }
    }
}

void draw_glyph(const Rgb565* sheet, std::int32_t x, std::int32_t y, Rgb565 colour, std::int32_t code,
                FrameSurface* surface) {
    if (code < 0 || code > 255) return;
    const int cx = (code % 32) * GLYPH_WIDTH;
    const int cy = (code / 32) * GLYPH_HEIGHT;
    // Columns 1-319 only: the cell's first column is the gap between letters,
    // and screen column 0 is never written by text.
    const std::int64_t wx = x;
    const int c_first = wx >= 1 ? 0 : static_cast<int>(wx < -GLYPH_WIDTH ? GLYPH_WIDTH : 1 - wx);
    const int c_last = wx + GLYPH_WIDTH - 1 <= SCREEN_WIDTH - 1
                           ? GLYPH_WIDTH - 1
                           : static_cast<int>(wx > SCREEN_WIDTH ? -1 : SCREEN_WIDTH - 1 - wx);
    if (c_first > c_last) return;
    const std::int64_t wy = y;
    for (int r = 0; r < GLYPH_HEIGHT; ++r) {
        const std::int64_t sy = wy + r;
        if (sy < 0 || sy >= SCREEN_HEIGHT) continue;
        const Rgb565* src = sheet + (cy + r) * FONT_SHEET_WIDTH + cx;
        Rgb565* row = surface->pixels + sy * SCREEN_WIDTH;
        for (int c = c_first; c <= c_last; ++c)
            if (src[c] == 0x0000) row[wx + c] = colour;
    }
}

void draw_text(std::int32_t x, std::int32_t y, Rgb565 colour, const char* text, FrameSurface* surface) {
    const std::size_t n = std::strlen(text);
    for (std::size_t i = 0; i < n; ++i) {
        const std::int64_t gx = static_cast<std::int64_t>(x) + 8 * static_cast<std::int64_t>(i);
        if (gx > SCREEN_WIDTH) break;  // this cell and every later one lie right of the screen
        if (gx < -GLYPH_WIDTH) continue;
        draw_glyph(g_font_sheet, static_cast<std::int32_t>(gx), y, colour, static_cast<unsigned char>(text[i]),
                   surface);
    }
}
