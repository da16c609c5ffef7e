// Lines across the whole 32-bit range, stepped literally by the reference:
// about 4.3 billion steps each, so this program carries the label "slow".
// (The quick suite checks such lines against the closed form instead.)
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <random>

#include "gfx/line.h"
#include "tests/reference/reference_gfx.h"

namespace {

FrameSurface g_drawn, g_expected;

void expect_same_line(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1) {
    std::mt19937 rng(static_cast<std::uint32_t>(x0 ^ y1));
    for (Rgb565& p : g_drawn.pixels) p = static_cast<Rgb565>(rng());
    g_expected = g_drawn;
    draw_line(x0, y0, x1, y1, 0x5A5A, &g_drawn);
    ref::draw_line(x0, y0, x1, y1, 0x5A5A, &g_expected);
    int differ = 0;
    for (int i = 0; i < SCREEN_WIDTH * SCREEN_HEIGHT; ++i) differ += g_drawn.pixels[i] != g_expected.pixels[i];
    EXPECT_EQ(differ, 0) << "draw_line(" << x0 << ", " << y0 << ", " << x1 << ", " << y1 << ")";
}

TEST(GfxFullRange, DiagonalFromCornerToCorner) { expect_same_line(INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX); }

TEST(GfxFullRange, ShallowLineBackwards) { expect_same_line(INT32_MAX, 1234567, INT32_MIN, -987654321); }

}  // namespace
