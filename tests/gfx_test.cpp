// The drawing rules written out by hand, so they hold even if the slow
// reference that the differential test compares against shared a mistake:
// the stepping on ties, the band's shades and halves, the text column that
// is never written, and the plain pixel store. Clipping and every other edge
// are checked pixel for pixel in gfx_differential_test.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <utility>

#include "assets/assets.h"
#include "gfx/line.h"
#include "gfx/sprite.h"

namespace {

using Points = std::set<std::pair<int, int>>;

constexpr Rgb565 BACKGROUND = 0x1234;
FrameSurface g_surface;

FrameSurface* blank() {
    for (Rgb565& p : g_surface.pixels) p = BACKGROUND;
    return &g_surface;
}

Rgb565 at(int x, int y) { return g_surface.pixels[y * SCREEN_WIDTH + x]; }

// Every pixel that no longer holds the background.
Points touched() {
    Points p;
    for (int y = 0; y < SCREEN_HEIGHT; ++y)
        for (int x = 0; x < SCREEN_WIDTH; ++x)
            if (at(x, y) != BACKGROUND) p.insert({x, y});
    return p;
}

TEST(Pixels, ClearAndReadBack) {
    blank();
    put_pixel(7, 9, COLOR_COIN, &g_surface);
    EXPECT_EQ(get_pixel(7, 9, &g_surface), COLOR_COIN) << "all 16 bits come back";
    put_pixel(320, 0, 0xBBBB, &g_surface);  // off the surface: dropped, not wrapped to (0, 1)
    put_pixel(-1, 239, 0xBBBB, &g_surface);
    EXPECT_EQ(touched(), (Points{{7, 9}}));
    for (auto [x, y] : {std::pair<int, int>{-1, 0}, {320, 0}, {0, -1}, {0, 240}, {INT32_MIN, INT32_MAX}}) {
        const Rgb565 off = get_pixel(x, y, &g_surface);
        EXPECT_NE(off, COLOR_WALL);
        EXPECT_NE(off, COLOR_COIN);
    }
    clear_surface(&g_surface);
    for (Rgb565 p : g_surface.pixels) ASSERT_EQ(p, 0x0000);
}

TEST(Lines, HalfWayTiesStepTowardTheEndPoint) {
    auto line = [](int x0, int y0, int x1, int y1) {
        draw_line(x0, y0, x1, y1, 0x7777, blank());
        return touched();
    };
    EXPECT_EQ(line(0, 0, 4, 1), (Points{{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 1}}));
    EXPECT_EQ(line(4, 1, 0, 0), (Points{{4, 1}, {3, 1}, {2, 0}, {1, 0}, {0, 0}}));
    EXPECT_EQ(line(0, 0, 1, 4), (Points{{0, 0}, {0, 1}, {1, 2}, {1, 3}, {1, 4}}));
}

TEST(Band, ShadesRiseAndFallAndTheLeftHalfSitsOneRowHigher) {
    draw_gradient_bar(100, blank());
    const Rgb565 shades[16] = {0x0000, 0x2000, 0x4000, 0x6000, 0x8000, 0xA000, 0xC000, 0xE000,
                               0xE000, 0xC000, 0xA000, 0x8000, 0x6000, 0x4000, 0x2000, 0x0000};
    for (int k = 0; k < 16; ++k)
        for (int x = 0; x < SCREEN_WIDTH; ++x)
            ASSERT_EQ(at(x, 100 + k - (x < 160 ? 1 : 0)), shades[k]) << "shade " << k << " at column " << x;
    EXPECT_EQ(touched().size(), 16u * SCREEN_WIDTH) << "no other pixel, none twice";
}

TEST(Sprites, NothingToDrawReadsNothing) {
    // A null picture is never touched when its width or height is 0.
    blit_keyed(nullptr, 10, 20, blank(), COLOR_KEY, 0, 23);
    blit_keyed(nullptr, 10, 20, &g_surface, COLOR_KEY, 50, 0);
    EXPECT_TRUE(touched().empty());
}

TEST(Glyphs, ColumnZeroIsNeverWrittenAndTextStepsEightColumns) {
    // '%' has ink in its cell's first column (checked in assets_test).
    draw_glyph(g_font_sheet, 0, 100, COLOR_HIGHLIGHT, '%', blank());
    EXPECT_FALSE(touched().empty());
    for (auto [x, y] : touched()) EXPECT_TRUE(x >= 1 && x <= 7 && y >= 100 && y <= 115) << x << ", " << y;
    // A string is its cells at x, x + 8, ...
    static FrameSurface glyphs;
    for (Rgb565& p : glyphs.pixels) p = BACKGROUND;
    draw_glyph(g_font_sheet, 10, 100, COLOR_WHITE, 'M', &glyphs);
    draw_glyph(g_font_sheet, 18, 100, COLOR_WHITE, 'W', &glyphs);
    draw_text(10, 100, COLOR_WHITE, "MW", blank());
    EXPECT_EQ(std::memcmp(&glyphs, &g_surface, sizeof glyphs), 0);
}

}  // namespace
