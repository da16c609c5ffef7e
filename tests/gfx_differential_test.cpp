// The drawing library against the slow per-pixel reference, pixel for pixel,
// on random and extreme inputs, coordinates far off the screen included: a
// shape there must never come back onto it. Every case draws onto two copies
// of a random pattern between guard rows, so a pixel written where nothing
// should be is caught as well as a pixel missed. Seeds are fixed: a failure
// prints its case and reproduces. The same file is built twice, the second
// time with the x86-64 fast paths off (the loops the handheld runs).
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "assets/assets.h"
#include "game/tunnel.h"
#include "gfx/line.h"
#include "gfx/sprite.h"
#include "tests/reference/reference_gfx.h"

namespace {

constexpr int RANDOM_CASES = 30000;
constexpr std::int64_t I32_MIN = INT32_MIN, I32_MAX = INT32_MAX;
using Values = std::initializer_list<std::int64_t>;

// A surface between 16 rows of guard pixels on either side, all random: a
// write just off the surface shows as a difference in a row below 0 or past
// 239.
constexpr int GUARD_ROWS = 16;
using Guarded = std::array<Rgb565, (GUARD_ROWS + SCREEN_HEIGHT + GUARD_ROWS) * SCREEN_WIDTH>;
Guarded g_pattern, g_expected, g_actual;
std::mt19937 g_rng;
int g_failures;  // cases that differed in this test; loops stop after 3

FrameSurface* surface_of(Guarded& g) { return reinterpret_cast<FrameSurface*>(&g[GUARD_ROWS * SCREEN_WIDTH]); }

void start(std::uint32_t seed) {
    g_rng.seed(seed);
    for (Rgb565& p : g_pattern) p = static_cast<Rgb565>(g_rng());
    g_failures = 0;
}

// Draws one case both ways on the pattern, in a random colour; on a
// difference reports the case and the first differing pixel.
template <typename Actual, typename Expected>
void check(const char* name, Values values, Actual actual, Expected expected) {
    const auto c = static_cast<Rgb565>(g_rng());
    g_actual = g_expected = g_pattern;
    actual(c, surface_of(g_actual));
    expected(c, surface_of(g_expected));
    if (g_actual == g_expected) return;
    const auto i = std::mismatch(g_actual.begin(), g_actual.end(), g_expected.begin()).first - g_actual.begin();
    std::string call = name;
    for (std::int64_t v : values) call += ' ' + std::to_string(v);
    ADD_FAILURE() << call << ": first difference at (" << i % SCREEN_WIDTH << ", " << i / SCREEN_WIDTH - GUARD_ROWS
                  << ")";
    ++g_failures;
}

std::int64_t uniform(std::int64_t lo, std::int64_t hi) {
    return std::uniform_int_distribution<std::int64_t>(lo, hi)(g_rng);
}

// 0 .. 2^max_bits - 1, every bit length equally likely: mostly short runs,
// some long ones.
std::int64_t log_uniform(int max_bits) {
    const int bits = static_cast<int>(uniform(0, max_bits));
    return bits == 0 ? 0 : uniform(0, (std::int64_t{1} << bits) - 1);
}

// A 32-bit coordinate: near the screen, near a multiple of 65536 (where a
// 16-bit store would bring it back onto the screen), anywhere, or at the ends
// of the range.
std::int64_t any_coordinate() {
    switch (uniform(0, 9)) {
        case 0: case 1: case 2: case 3: case 4: return uniform(-400, 720);
        case 5: case 6: return uniform(-32767, 32767) * 65536 + uniform(-400, 720);
        case 7: return uniform(I32_MIN, I32_MAX);
        case 8: return I32_MIN + uniform(0, 400);
        default: return I32_MAX - uniform(0, 400);
    }
}

// start + delta, or start - delta when that would leave the 32-bit range.
std::int64_t offset_within_int32(std::int64_t start, std::int64_t delta) {
    const std::int64_t end = start + delta;
    return end < I32_MIN || end > I32_MAX ? start - delta : end;
}

std::int32_t i32(std::int64_t v) { return static_cast<std::int32_t>(v); }

// Past one beyond the screen's edge nothing more is drawn: the literal
// routines get far coordinates cut there, which keeps them quick.
std::int64_t near(std::int64_t v, std::int64_t lo, std::int64_t hi) { return std::clamp(v, lo, hi); }

// The pixels of a line from the closed form of its stepping, for lines
// billions of steps long: step k of the major axis lies at m0 + s*k with the
// minor coordinate moved by floor((2*minor*k + major) / (2*major)). Only the
// steps whose major coordinate is on the screen are visited.
__extension__ typedef __int128 Wide;
void closed_form_line(std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1, Rgb565 c,
                      FrameSurface* surface) {
    const std::int64_t adx = std::abs(x1 - x0), ady = std::abs(y1 - y0);
    const bool x_major = adx > ady;
    const std::int64_t major = x_major ? adx : ady, minor = x_major ? ady : adx;
    const std::int64_t m0 = x_major ? x0 : y0, n0 = x_major ? y0 : x0;
    const std::int64_t ms = (x_major ? x1 >= x0 : y1 >= y0) ? 1 : -1, ns = (x_major ? y1 >= y0 : x1 >= x0) ? 1 : -1;
    for (std::int64_t m = 0; m < (x_major ? SCREEN_WIDTH : SCREEN_HEIGHT); ++m) {
        const std::int64_t k = ms * (m - m0);
        if (k < 0 || k > major) continue;
        const auto n = n0 + ns * static_cast<std::int64_t>(major ? (Wide{2} * minor * k + major) / (Wide{2} * major) : 0);
        ref::plot(x_major ? m : n, x_major ? n : m, c, surface);
    }
}

void line_case(std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1, bool closed_form = false) {
    check("draw_line", {x0, y0, x1, y1},
          [&](Rgb565 c, FrameSurface* s) { draw_line(i32(x0), i32(y0), i32(x1), i32(y1), c, s); },
          [&](Rgb565 c, FrameSurface* s) {
              closed_form ? closed_form_line(x0, y0, x1, y1, c, s) : ref::draw_line(x0, y0, x1, y1, c, s);
          });
}

TEST(GfxDifferential, Lines) {
    start(1001);
    for (int n = 0; n < RANDOM_CASES && g_failures < 3; ++n) {
        const std::int64_t x0 = any_coordinate(), y0 = any_coordinate(), major = log_uniform(17);
        const std::int64_t kind = uniform(0, 9);
        const std::int64_t minor = kind == 0 ? 0 : kind == 1 ? major : kind == 2 ? major / 2 + uniform(0, 1)  // ties
                                                                                 : uniform(0, major);
        const bool x_major = g_rng() & 1;
        const std::int64_t sx = g_rng() & 1 ? 1 : -1, sy = g_rng() & 1 ? 1 : -1;
        line_case(x0, y0, offset_within_int32(x0, sx * (x_major ? major : minor)),
                  offset_within_int32(y0, sy * (x_major ? minor : major)));
    }
    // Every direction to a 13 x 13 grid around a centre on, near and across
    // the edges, at several scales: all octants, diagonals, axes and ties.
    const std::int64_t centres[][2] = {{160, 120}, {0, 0}, {319, 239}, {-3, 100}, {322, 241}, {65536 + 5, -65536 + 7}};
    for (const auto& c : centres)
        for (std::int64_t scale : Values{1, 2, 37, 1000})
            for (std::int64_t dx = -6; dx <= 6; ++dx)
                for (std::int64_t dy = -6; dy <= 6; ++dy) line_case(c[0], c[1], c[0] + dx * scale, c[1] + dy * scale);
    // Across the whole 32-bit range, against the closed form.
    const std::int64_t far[][4] = {
        {I32_MIN, I32_MIN, I32_MAX, I32_MAX}, {I32_MIN, I32_MAX, I32_MAX, I32_MIN},     {I32_MIN, 0, I32_MAX, 0},
        {I32_MAX, 100, I32_MIN, 120},         {0, I32_MIN, 5, I32_MAX},                 {I32_MIN, -7, I32_MAX, 3},
        {I32_MAX, 1234567, I32_MIN, -987654321}, {-1000000000, -300000000, 1500000000, 2000000000},
        {-65536 - 10, 5, 65536 + 330, 6},     {65535, 65535, 65536 + 320, 65536 + 240},
        {-5, 240, 330, 240},                  {320, -5, 320, 250},                      {-5, -1, 330, -1},
        {-1, -5, -1, 250},                    {-5, 10, 330, 10},                        {3, -5, 3, 250},
    };
    for (const auto& l : far) {
        line_case(l[0], l[1], l[2], l[3], true);
        line_case(l[2], l[3], l[0], l[1], true);
    }
    for (int n = 0; n < 20; ++n) line_case(any_coordinate(), any_coordinate(), any_coordinate(), any_coordinate(), true);
}

void fill_case(std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1) {
    check("fill_rows", {x0, y0, x1, y1},
          [&](Rgb565 c, FrameSurface* s) { fill_rows(i32(x0), i32(y0), i32(x1), i32(y1), c, s); },
          [&](Rgb565 c, FrameSurface* s) {
              ref::fill_rows(near(x0, -1, 320), std::max<std::int64_t>(y0, -1), near(x1, -1, 320),
                             std::min<std::int64_t>(y1, 240), c, s);
          });
}

TEST(GfxDifferential, FillsAndBands) {
    start(1005);
    for (int n = 0; n < RANDOM_CASES && g_failures < 3; ++n) {
        const std::int64_t x0 = any_coordinate(), y0 = any_coordinate();
        const std::int64_t x1 = offset_within_int32(x0, (g_rng() & 1 ? 1 : -1) * log_uniform(17));
        const std::int64_t y1 = g_rng() % 16 ? y0 + log_uniform(17) - 1 : y0 - 1 - uniform(0, 1000);  // or empty
        if (y1 <= I32_MAX && y1 >= I32_MIN) fill_case(x0, y0, x1, y1);
    }
    const std::int64_t edges[][4] = {
        {0, I32_MAX - 2, 5, I32_MAX}, {I32_MAX - 3, 4, I32_MAX, 7}, {5, 8, 5, 8},   {0, 230, 9, 319},
        {319, 10, 0, 20},             {10, 5, 20, 4},               {10, I32_MAX, 20, I32_MIN},
        {I32_MIN, 5, I32_MAX, 7},     {0, I32_MIN, 9, I32_MAX},     {I32_MIN, I32_MIN, I32_MAX, I32_MAX},
        {-70000, -70000, 70000, 70000}, {65536 - 3, -10, 65536 * 3 + 2, 65536 * 2 + 4},
    };
    for (const auto& f : edges) fill_case(f[0], f[1], f[2], f[3]);

    std::vector<std::int64_t> ys = {I32_MIN, I32_MAX, I32_MAX - 15, -17, -16, -15, -1, 0, 1, 100, 224, 239, 240, 241};
    for (int n = 0; n < 2000; ++n) ys.push_back(g_rng() % 2 ? uniform(-20, 260) : any_coordinate());
    for (std::int64_t y : ys)
        check("draw_gradient_bar", {y}, [&](Rgb565, FrameSurface* s) { draw_gradient_bar(i32(y), s); },
              [&](Rgb565, FrameSurface* s) { ref::draw_gradient_bar(y, s); });
}

TEST(GfxDifferential, PicturesGlyphsAndText) {
    start(1008);
    std::vector<Rgb565> image(std::size_t{1} << 18);
    for (Rgb565& p : image) {
        const auto kind = g_rng() % 8;
        p = kind < 2 ? COLOR_KEY : kind == 2 ? 0x0000 : kind == 3 ? COLOR_WHITE : static_cast<Rgb565>(g_rng());
    }
    auto blit_case = [&](std::int64_t at, std::int64_t x64, std::int64_t y64, Rgb565 key, std::int64_t w64,
                         std::int64_t h64) {
        const auto x = static_cast<std::int16_t>(x64), y = static_cast<std::int16_t>(y64);
        const auto w = static_cast<std::uint16_t>(w64), h = static_cast<std::uint16_t>(h64);
        check("blit_keyed", {x, y, key, w, h}, [&](Rgb565, FrameSurface* s) { blit_keyed(&image[at], x, y, s, key, w, h); },
              [&](Rgb565, FrameSurface* s) { ref::blit_keyed(&image[at], x, y, s, key, w, h); });
    };
    for (int n = 0; n < RANDOM_CASES && g_failures < 3; ++n) {
        const int bits = static_cast<int>(uniform(0, 17)), row_bits = static_cast<int>(uniform(0, std::min(bits, 15)));
        const std::int64_t h = uniform(0, (std::int64_t{1} << row_bits) - 1);
        const std::int64_t w = std::min<std::int64_t>(65535, uniform(0, (std::int64_t{1} << (bits - row_bits)) - 1));
        const std::int64_t x = g_rng() % 3 ? uniform(-400, 720) : uniform(INT16_MIN, INT16_MAX);
        const std::int64_t y = g_rng() % 3 ? uniform(-300, 540) : uniform(INT16_MIN, INT16_MAX);
        const Rgb565 key = g_rng() % 4 ? COLOR_KEY : g_rng() % 2 ? 0x0000 : COLOR_WHITE;
        blit_case(uniform(0, (std::int64_t{1} << 18) - w * h), x, y, key, w, h);
    }
    for (std::int64_t x : Values{INT16_MIN, INT16_MAX, -50, -10, 0, 310, 319, 320})
        for (std::int64_t y : Values{INT16_MIN, INT16_MAX, -23, 0, 230, 239, 240})
            for (std::int64_t w : Values{0, 1, 50, 32767, 65535}) blit_case(0, x, y, COLOR_KEY, w, w > 50 ? 2 : 23);

    std::vector<Rgb565> sheet(FONT_SHEET_WIDTH * FONT_SHEET_HEIGHT);
    for (Rgb565& p : sheet) p = g_rng() % 2 ? 0x0000 : g_rng() % 2 ? COLOR_KEY : static_cast<Rgb565>(g_rng());
    auto glyph_case = [&](std::int64_t x, std::int64_t y, std::int64_t code) {
        check("draw_glyph", {x, y, code},
              [&](Rgb565 c, FrameSurface* s) { draw_glyph(sheet.data(), i32(x), i32(y), c, i32(code), s); },
              [&](Rgb565 c, FrameSurface* s) { ref::draw_glyph(sheet.data(), x, y, c, code, s); });
    };
    for (int n = 0; n < RANDOM_CASES && g_failures < 3; ++n)
        glyph_case(g_rng() % 4 ? uniform(-20, 340) : any_coordinate(), g_rng() % 4 ? uniform(-20, 260) : any_coordinate(),
                   g_rng() % 10 ? uniform(0, 255) : uniform(I32_MIN, I32_MAX));
    for (std::int64_t x : Values{I32_MIN, -9, -8, -7, -3, 0, 1, 311, 312, 315, 319, 320, I32_MAX - 3, I32_MAX})
        for (std::int64_t y : Values{I32_MIN, -16, -15, 0, 224, 225, 239, 240, I32_MAX - 7, I32_MAX})
            for (std::int64_t code : Values{I32_MIN, -1, 0, 37, 255, 256, I32_MAX}) glyph_case(x, y, code);

    auto text_case = [&](std::int64_t x, std::int64_t y, const std::string& text) {
        check("draw_text", {x, y, static_cast<std::int64_t>(text.size())},
              [&](Rgb565 c, FrameSurface* s) { draw_text(i32(x), i32(y), c, text.c_str(), s); },
              [&](Rgb565 c, FrameSurface* s) { ref::draw_text(x, y, c, text.c_str(), s); });
    };
    for (int n = 0; n < RANDOM_CASES / 4 && g_failures < 3; ++n) {
        std::string text(static_cast<std::size_t>(log_uniform(6)), ' ');
        for (char& ch : text) ch = static_cast<char>(uniform(1, 255));
        text_case(g_rng() % 4 ? uniform(-400, 400) : any_coordinate(), g_rng() % 4 ? uniform(-20, 260) : any_coordinate(),
                  text);
    }
    for (std::int64_t x : Values{I32_MIN, I32_MIN + 5, -1601, -9, -8, 0, 10, 313, 320, 321, I32_MAX - 7, I32_MAX})
        for (const std::string& text : {std::string(), std::string(" "), std::string("%A \x01\xff"), std::string(200, 'W')})
            text_case(x, 100, text);
}

void column_case(std::int64_t x, std::int64_t top, std::int64_t gap) {
    // Left of -10 a column covers screen column 0 alone; the walls' rows are
    // cut to 0 .. 240 (top wall up to top - 1, bottom wall from top + gap + 1).
    const std::int64_t cut_top = near(top, 0, 240), bottom = near(top + gap + 1, 0, 240);
    check("draw_tunnel_column", {x, top, gap},
          [&](Rgb565, FrameSurface* s) { draw_tunnel_column(i32(x), i32(top), i32(gap), s); },
          [&](Rgb565, FrameSurface* s) { ref::draw_tunnel_column(near(x, -10, 320), cut_top, bottom - cut_top - 1, s); });
}

TEST(GfxDifferential, TunnelColumns) {
    start(1011);
    auto height = [](std::int64_t lo, std::int64_t hi) {
        return g_rng() % 5 ? uniform(lo, hi) : log_uniform(17) * (g_rng() & 1 ? 1 : -1);
    };
    for (int n = 0; n < RANDOM_CASES && g_failures < 3; ++n)
        column_case(g_rng() % 4 ? uniform(-30, 340) : g_rng() % 2 ? -log_uniform(17) : any_coordinate(), height(-50, 300),
                    g_rng() % 8 ? height(-50, 300) : 180);
    for (std::int64_t x : Values{I32_MIN, I32_MIN + 9, -65536, -65536 - 5, -9, -10, 0, 318, 319, 320, I32_MAX - 9, I32_MAX})
        for (std::int64_t top : Values{I32_MIN, -1000000, -1, 0, 30, 240, 1000000, I32_MAX})
            for (std::int64_t gap : Values{I32_MIN, -1, 0, 180, I32_MAX}) column_case(x, top, gap);
}

// The pixel primitives: a store off the surface is dropped, never wrapped to
// the next row; a read off it is neither the wall nor the coin colour.
TEST(GfxDifferential, PixelsClearAndReadBack) {
    start(1013);
    for (auto [x, y] : {std::pair<int, int>{320, 0}, {-1, 239}, {0, 240}, {INT32_MAX, INT32_MIN}})
        check("put_pixel", {x, y}, [&](Rgb565 c, FrameSurface* s) { put_pixel(x, y, c, s); }, [](Rgb565, FrameSurface*) {});
    for (auto [x, y] : {std::pair<int, int>{320, 0}, {-1, 239}, {0, 240}, {0, -1}, {319, 239}, {0, 0}})
        check("put_pixel_clipped", {x, y},
              [&](Rgb565 c, FrameSurface* s) {
                  put_pixel_clipped(static_cast<std::int16_t>(x), static_cast<std::int16_t>(y), c, s);
              },
              [&](Rgb565 c, FrameSurface* s) { ref::plot(x, y, c, s); });
    FrameSurface* const s = surface_of(g_pattern);
    put_pixel(7, 9, COLOR_COIN, s);
    EXPECT_EQ(get_pixel(7, 9, s), COLOR_COIN) << "all 16 bits come back";
    for (auto [x, y] : {std::pair<int, int>{-1, 0}, {320, 0}, {0, -1}, {0, 240}, {INT32_MIN, INT32_MAX}}) {
        EXPECT_NE(get_pixel(x, y, s), COLOR_WALL);
        EXPECT_NE(get_pixel(x, y, s), COLOR_COIN);
    }
    clear_surface(s);
    for (Rgb565 p : s->pixels) ASSERT_EQ(p, 0x0000);
}

}  // namespace
