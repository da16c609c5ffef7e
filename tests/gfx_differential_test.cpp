// The drawing library against the slow per-pixel reference, pixel for pixel,
// on random and extreme inputs. Every case draws onto two copies of a random
// pattern, so a pixel written where nothing should be is caught as well as a
// pixel missed. Seeds are fixed: a failure prints its case and reproduces.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "assets/assets.h"
#include "game/tunnel.h"
#include "gfx/line.h"
#include "gfx/sprite.h"
#include "tests/reference/reference_gfx.h"

namespace {

constexpr int RANDOM_CASES = 100000;
constexpr std::int64_t I32_MIN = INT32_MIN, I32_MAX = INT32_MAX;

using Values = std::initializer_list<std::int64_t>;

// The surface under test sits between two guard zones that must stay as
// they were: nothing may be written outside the 153600 bytes.
struct Guarded {
    Rgb565 before[16 * SCREEN_WIDTH];
    FrameSurface surface;
    Rgb565 after[16 * SCREEN_WIDTH];
};
FrameSurface g_pattern, g_expected;
Guarded g_actual;
Rgb565 g_guard[16 * SCREEN_WIDTH];
int g_failures;  // cases that differed in this test; loops stop after 3

void fill_pattern(std::mt19937& rng) {
    for (Rgb565& p : g_pattern.pixels) p = static_cast<Rgb565>(rng());
    for (Rgb565& p : g_guard) p = static_cast<Rgb565>(rng());
    std::memcpy(g_actual.before, g_guard, sizeof g_guard);
    std::memcpy(g_actual.after, g_guard, sizeof g_guard);
    g_failures = 0;
}

std::string args(const char* name, std::initializer_list<std::int64_t> values) {
    std::string s = name;
    const char* sep = "(";
    for (std::int64_t v : values) {
        s += sep + std::to_string(v);
        sep = ", ";
    }
    return s + ')';
}

// Draws one case both ways on the pattern; on a difference reports the case
// and the first differing pixel.
template <typename Actual, typename Expected>
void check(const char* name, Values values, Actual actual, Expected expected) {
    FrameSurface& drawn = g_actual.surface;
    drawn = g_pattern;
    g_expected = g_pattern;
    actual(&drawn);
    expected(&g_expected);
    if (std::memcmp(g_actual.before, g_guard, sizeof g_guard) != 0 ||
        std::memcmp(g_actual.after, g_guard, sizeof g_guard) != 0) {
        ADD_FAILURE() << args(name, values) << "\n  wrote outside the surface";
        std::memcpy(g_actual.before, g_guard, sizeof g_guard);
        std::memcpy(g_actual.after, g_guard, sizeof g_guard);
        ++g_failures;
        return;
    }
    if (std::memcmp(&drawn, &g_expected, sizeof drawn) == 0) return;
    int i = 0;
    while (drawn.pixels[i] == g_expected.pixels[i]) ++i;
    char where[160];
    std::snprintf(where, sizeof where, "first difference at (%d, %d): drawn 0x%04X, expected 0x%04X, background 0x%04X",
                  i % SCREEN_WIDTH, i / SCREEN_WIDTH, drawn.pixels[i], g_expected.pixels[i], g_pattern.pixels[i]);
    ADD_FAILURE() << args(name, values) << "\n  " << where;
    ++g_failures;
}

std::int64_t uniform(std::mt19937& rng, std::int64_t lo, std::int64_t hi) {
    return std::uniform_int_distribution<std::int64_t>(lo, hi)(rng);
}

// 0 .. 2^max_bits - 1, every bit length equally likely: mostly short runs,
// some long ones.
std::int64_t log_uniform(std::mt19937& rng, int max_bits) {
    const int bits = static_cast<int>(uniform(rng, 0, max_bits));
    return bits == 0 ? 0 : uniform(rng, 0, (std::int64_t{1} << bits) - 1);
}

// A 32-bit coordinate: near the screen, near a multiple of 65536 (where the
// 16-bit store brings it back on screen), anywhere, or at the ends of the range.
std::int64_t any_coordinate(std::mt19937& rng) {
    switch (uniform(rng, 0, 9)) {
        case 0: case 1: case 2: case 3: case 4: return uniform(rng, -400, 720);
        case 5: case 6: return uniform(rng, -32767, 32767) * 65536 + uniform(rng, -400, 720);
        case 7: return uniform(rng, I32_MIN, I32_MAX);
        case 8: return I32_MIN + uniform(rng, 0, 400);
        default: return I32_MAX - uniform(rng, 0, 400);
    }
}

// start + delta, or start - delta when that would leave the 32-bit range.
std::int64_t offset_within_int32(std::int64_t start, std::int64_t delta) {
    const std::int64_t end = start + delta;
    return end < I32_MIN || end > I32_MAX ? start - delta : end;
}

std::int32_t i32(std::int64_t v) { return static_cast<std::int32_t>(v); }
Rgb565 colour_of(std::mt19937& rng) { return static_cast<Rgb565>(rng()); }

// ---------------------------------------------------------------- lines

void line_case(std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1, Rgb565 colour) {
    check("draw_line", {x0, y0, x1, y1, colour},
          [&](FrameSurface* s) { draw_line(i32(x0), i32(y0), i32(x1), i32(y1), colour, s); },
          [&](FrameSurface* s) { ref::draw_line(x0, y0, x1, y1, colour, s); });
}

TEST(GfxDifferential, RandomLines) {
    std::mt19937 rng(1001);
    fill_pattern(rng);
    for (int n = 0; n < RANDOM_CASES && g_failures < 3; ++n) {
        const std::int64_t x0 = any_coordinate(rng), y0 = any_coordinate(rng);
        const std::int64_t major = log_uniform(rng, 17);
        std::int64_t minor;
        switch (uniform(rng, 0, 9)) {
            case 0: minor = 0; break;
            case 1: minor = major; break;                         // exact diagonal
            case 2: minor = major / 2 + uniform(rng, 0, 1); break;  // many half-way ties
            default: minor = uniform(rng, 0, major);
        }
        const bool x_major = rng() & 1;
        const std::int64_t sx = rng() & 1 ? 1 : -1, sy = rng() & 1 ? 1 : -1;
        const std::int64_t x1 = offset_within_int32(x0, sx * (x_major ? major : minor));
        const std::int64_t y1 = offset_within_int32(y0, sy * (x_major ? minor : major));
        line_case(x0, y0, x1, y1, colour_of(rng));
    }
}

TEST(GfxDifferential, LinesInEveryDirection) {
    std::mt19937 rng(1002);
    fill_pattern(rng);
    // Every direction to a 13 x 13 grid around a centre on, near and across
    // the edges, at several scales: all octants, diagonals, axes and ties.
    const std::int64_t centres[][2] = {{160, 120}, {0, 0}, {319, 239}, {-3, 100}, {322, 241}, {65536 + 5, -65536 + 7}};
    for (const auto& c : centres)
        for (std::int64_t scale : Values{1, 2, 37, 1000})
            for (std::int64_t dx = -6; dx <= 6; ++dx)
                for (std::int64_t dy = -6; dy <= 6; ++dy)
                    line_case(c[0], c[1], c[0] + dx * scale, c[1] + dy * scale, colour_of(rng));
    // Short and medium lines at the ends of the 32-bit range and from far off
    // screen into it.
    const std::int64_t far[][4] = {
        {I32_MAX, I32_MAX, I32_MAX - 100000, I32_MAX - 3000}, {I32_MIN, I32_MIN, I32_MIN + 70000, I32_MIN + 65536},
        {I32_MAX, 0, I32_MAX - 131072, 200},                  {I32_MIN, 239, I32_MIN + 100000, 0},
        {-100000, 120, 500, 121},                             {160, -100000, 161, 100000},
        {-65536 - 10, 5, 65536 + 330, 6},                     {65535, 65535, 65536 + 320, 65536 + 240},
        {-1, -1, -1, -1},                                     {320, 240, 320, 240},
        {319, 239, 319, 239},                                 {I32_MAX, I32_MIN, I32_MAX, I32_MIN},
    };
    for (const auto& l : far) {
        line_case(l[0], l[1], l[2], l[3], colour_of(rng));
        line_case(l[2], l[3], l[0], l[1], colour_of(rng));
    }
}

// The pixels of a line from the closed form of its stepping: step k of the
// major axis lies at major0 + s*k with the minor coordinate moved by
// floor((2*minor*k + major) / (2*major)). Only the steps whose major
// coordinate the 16-bit store puts on the screen are visited, so lines
// billions of steps long are checked exactly in well under a second.
__extension__ typedef __int128 Wide;
void closed_form_line(std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1, Rgb565 colour,
                      FrameSurface* surface) {
    const std::int64_t adx = x1 > x0 ? x1 - x0 : x0 - x1, ady = y1 > y0 ? y1 - y0 : y0 - y1;
    const bool x_major = adx > ady;
    const std::int64_t major = x_major ? adx : ady, minor = x_major ? ady : adx;
    const std::int64_t m0 = x_major ? x0 : y0, n0 = x_major ? y0 : x0;
    const std::int64_t ms = (x_major ? x1 >= x0 : y1 >= y0) ? 1 : -1;
    const std::int64_t ns = (x_major ? y1 >= y0 : x1 >= x0) ? 1 : -1;
    const std::int64_t limit = x_major ? SCREEN_WIDTH : SCREEN_HEIGHT;
    auto plot = [&](std::int64_t m, std::int64_t n) {
        ref::plot(x_major ? m : n, x_major ? n : m, colour, surface);
    };
    if (major == 0) return plot(m0, n0);
    for (std::int64_t c = 0; c < limit; ++c) {
        const std::int64_t k = ms * (c - m0);
        if (k < 0 || k > major) continue;
        const Wide q = (Wide{2} * minor * k + major) / (Wide{2} * major);
        plot(m0 + ms * k, n0 + ns * static_cast<std::int64_t>(q));
    }
}

TEST(GfxDifferential, ClosedFormMatchesReferenceStepping) {
    // The check used for the longest lines below, itself checked against the
    // literal stepping on lines long enough to wrap.
    std::mt19937 rng(1003);
    fill_pattern(rng);
    for (int n = 0; n < 3000 && g_failures < 3; ++n) {
        const std::int64_t x0 = any_coordinate(rng), y0 = any_coordinate(rng);
        const std::int64_t x1 = offset_within_int32(x0, log_uniform(rng, 18) * (rng() & 1 ? 1 : -1));
        const std::int64_t y1 = offset_within_int32(y0, log_uniform(rng, 18) * (rng() & 1 ? 1 : -1));
        const Rgb565 colour = colour_of(rng);
        check("closed form of draw_line", {x0, y0, x1, y1},
              [&](FrameSurface* s) { closed_form_line(x0, y0, x1, y1, colour, s); },
              [&](FrameSurface* s) { ref::draw_line(x0, y0, x1, y1, colour, s); });
    }
}

TEST(GfxDifferential, FullRangeLinesMatchClosedForm) {
    std::mt19937 rng(1004);
    fill_pattern(rng);
    std::vector<std::array<std::int64_t, 4>> lines = {
        {I32_MIN, I32_MIN, I32_MAX, I32_MAX}, {I32_MIN, I32_MAX, I32_MAX, I32_MIN}, {I32_MIN, 0, I32_MAX, 0},
        {I32_MAX, 100, I32_MIN, 120},         {0, I32_MIN, 5, I32_MAX},             {I32_MIN, -7, I32_MAX, 3},
        {I32_MIN + 1, I32_MIN, I32_MAX, I32_MAX}, {-1000000000, -300000000, 1500000000, 2000000000},
    };
    for (int n = 0; n < 12; ++n)
        lines.push_back({uniform(rng, I32_MIN, I32_MAX), uniform(rng, I32_MIN, I32_MAX), uniform(rng, I32_MIN, I32_MAX),
                         uniform(rng, I32_MIN, I32_MAX)});
    for (const auto& l : lines) {
        const Rgb565 colour = colour_of(rng);
        check("draw_line", {l[0], l[1], l[2], l[3]},
              [&](FrameSurface* s) { draw_line(i32(l[0]), i32(l[1]), i32(l[2]), i32(l[3]), colour, s); },
              [&](FrameSurface* s) { closed_form_line(l[0], l[1], l[2], l[3], colour, s); });
    }
}

// ---------------------------------------------------------------- fills

void fill_case(std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1, Rgb565 colour) {
    check("fill_rows", {x0, y0, x1, y1, colour},
          [&](FrameSurface* s) { fill_rows(i32(x0), i32(y0), i32(x1), i32(y1), colour, s); },
          [&](FrameSurface* s) { ref::fill_rows(x0, y0, x1, y1, colour, s); });
}

TEST(GfxDifferential, RandomFills) {
    std::mt19937 rng(1005);
    fill_pattern(rng);
    int cases = 0;
    while (cases < RANDOM_CASES && g_failures < 3) {
        // The reference costs rows x width steps: share a budget of up to
        // 2^17 between them.
        const int bits = static_cast<int>(uniform(rng, 0, 17));
        const int row_bits = static_cast<int>(uniform(rng, 0, bits));
        const std::int64_t rows = uniform(rng, 0, (std::int64_t{1} << row_bits) - 1);
        const std::int64_t width = uniform(rng, 0, (std::int64_t{1} << (bits - row_bits)) - 1);
        const std::int64_t x0 = any_coordinate(rng), y0 = any_coordinate(rng);
        const std::int64_t x1 = offset_within_int32(x0, rng() & 1 ? width : -width);
        std::int64_t y1 = y0 + rows - 1;
        if (y1 > I32_MAX || rng() % 16 == 0) y1 = y0 - 1 - uniform(rng, 0, 1000);  // empty
        if (y1 < I32_MIN) continue;
        fill_case(x0, y0, x1, y1, colour_of(rng));
        ++cases;
    }
}

// Which values the 16-bit store sees from lo .. hi: v is hit when some value
// in the range has low 16 bits v.
bool range_hits(std::int64_t lo, std::int64_t hi, std::int64_t v) {
    return lo <= v && v <= hi;
}

// fill_rows in closed form: every row is one horizontal line of one colour,
// so a pixel is drawn exactly when its column and its row are both hit.
void closed_form_fill(std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1, Rgb565 colour,
                      FrameSurface* surface) {
    for (int y = 0; y < SCREEN_HEIGHT; ++y) {
        if (!range_hits(y0, y1, y)) continue;
        for (int x = 0; x < SCREEN_WIDTH; ++x)
            if (range_hits(std::min(x0, x1), std::max(x0, x1), x)) surface->pixels[y * SCREEN_WIDTH + x] = colour;
    }
}

TEST(GfxDifferential, ExtremeFills) {
    std::mt19937 rng(1006);
    fill_pattern(rng);
    // Cheap enough for the reference: y1 at the top of the range must end.
    fill_case(0, I32_MAX - 2, 5, I32_MAX, 0x1111);
    fill_case(I32_MAX - 3, 4, I32_MAX, 7, 0x2222);
    fill_case(I32_MIN, I32_MIN, I32_MIN + 70000, I32_MIN + 1, 0x3333);
    fill_case(5, 8, 5, 8, 0x4444);
    fill_case(0, 230, 9, 319, 0x5555);
    fill_case(319, 10, 0, 20, 0x6666);
    fill_case(65530, 65530, 65546, 65546 + 100, 0x7777);
    fill_case(10, 5, 20, 4, 0x8888);
    fill_case(10, I32_MAX, 20, I32_MIN, 0x9999);
    // Billions of steps: against the closed form.
    const std::int64_t huge[][4] = {
        {I32_MIN, 5, I32_MAX, 7},         {0, I32_MIN, 9, I32_MAX},        {I32_MAX, I32_MAX - 1, I32_MIN, I32_MAX},
        {I32_MIN, I32_MIN, I32_MAX, I32_MAX}, {-70000, -70000, 70000, 70000}, {65536 - 3, -10, 65536 * 3 + 2, 65536 * 2 + 4},
    };
    for (const auto& f : huge) {
        const Rgb565 colour = colour_of(rng);
        check("fill_rows", {f[0], f[1], f[2], f[3]},
              [&](FrameSurface* s) { fill_rows(i32(f[0]), i32(f[1]), i32(f[2]), i32(f[3]), colour, s); },
              [&](FrameSurface* s) { closed_form_fill(f[0], f[1], f[2], f[3], colour, s); });
    }
    // The closed form itself agrees with the reference on fills that wrap.
    for (int n = 0; n < 300; ++n) {
        const std::int64_t x0 = any_coordinate(rng), y0 = any_coordinate(rng);
        const std::int64_t x1 = offset_within_int32(x0, uniform(rng, -70000, 70000));
        const std::int64_t y1 = y0 + uniform(rng, -2, 8);
        check("closed form of fill_rows", {x0, y0, x1, y1},
              [&](FrameSurface* s) { closed_form_fill(x0, y0, x1, y1, 0xABCD, s); },
              [&](FrameSurface* s) { ref::fill_rows(x0, y0, x1, y1, 0xABCD, s); });
    }
}

// ---------------------------------------------------------------- band

TEST(GfxDifferential, GradientBars) {
    std::mt19937 rng(1007);
    fill_pattern(rng);
    std::vector<std::int64_t> ys = {I32_MIN, I32_MIN + 1, I32_MAX, I32_MAX - 15, I32_MAX - 16, -17, -16, -15, -1, 0, 1,
                                    100, 224, 238, 239, 240, 241, 65536, 65536 - 8, -65536 + 3};
    for (int n = 0; n < RANDOM_CASES; ++n) ys.push_back(any_coordinate(rng));
    for (std::size_t n = 0; n < ys.size() && g_failures < 3; ++n)
        check("draw_gradient_bar", {ys[n]}, [&](FrameSurface* s) { draw_gradient_bar(i32(ys[n]), s); },
              [&](FrameSurface* s) { ref::draw_gradient_bar(ys[n], s); });
}

// ---------------------------------------------------------------- sprites

std::vector<Rgb565> random_image(std::mt19937& rng, std::size_t size) {
    std::vector<Rgb565> image(size);
    for (Rgb565& p : image) {
        const auto kind = rng() % 8;
        p = kind < 2 ? COLOR_KEY : kind == 2 ? 0x0000 : kind == 3 ? COLOR_WHITE : static_cast<Rgb565>(rng());
    }
    return image;
}

void blit_case(const Rgb565* image, std::int64_t x, std::int64_t y, Rgb565 key, std::int64_t w, std::int64_t h) {
    const auto x16 = static_cast<std::int16_t>(x), y16 = static_cast<std::int16_t>(y);
    const auto w16 = static_cast<std::uint16_t>(w), h16 = static_cast<std::uint16_t>(h);
    check("blit_keyed(x, y, key, width, height)", {x, y, key, w, h},
          [&](FrameSurface* s) { blit_keyed(image, x16, y16, s, key, w16, h16); },
          [&](FrameSurface* s) { ref::blit_keyed(image, x16, y16, s, key, w16, h16); });
}

TEST(GfxDifferential, RandomAndExtremeBlits) {
    std::mt19937 rng(1008);
    fill_pattern(rng);
    const std::vector<Rgb565> image = random_image(rng, std::size_t{1} << 18);
    for (int n = 0; n < RANDOM_CASES && g_failures < 3; ++n) {
        const int bits = static_cast<int>(uniform(rng, 0, 17));
        const int row_bits = static_cast<int>(uniform(rng, 0, std::min(bits, 15)));
        const std::int64_t h = uniform(rng, 0, (std::int64_t{1} << row_bits) - 1);
        const std::int64_t w = std::min<std::int64_t>(65535, uniform(rng, 0, (std::int64_t{1} << (bits - row_bits)) - 1));
        const std::int64_t x = rng() % 3 ? uniform(rng, -400, 720) : uniform(rng, INT16_MIN, INT16_MAX);
        const std::int64_t y = rng() % 3 ? uniform(rng, -300, 540) : uniform(rng, INT16_MIN, INT16_MAX);
        const Rgb565 key = rng() % 4 ? COLOR_KEY : rng() % 2 ? 0x0000 : COLOR_WHITE;
        const std::size_t start = static_cast<std::size_t>(uniform(rng, 0, (std::int64_t{1} << 18) - w * h));
        blit_case(image.data() + start, x, y, key, w, h);
    }
    // Corners of the 16-bit range; widths past 32767 wrap back onto the screen.
    for (std::int64_t x : Values{INT16_MIN, INT16_MAX, -50, -10, 0, 310, 319, 320})
        for (std::int64_t y : Values{INT16_MIN, INT16_MAX, -23, 0, 230, 239, 240})
            for (const auto& wh : {std::array<std::int64_t, 2>{0, 23}, {50, 0}, {1, 1}, {50, 23}, {32767, 3}, {65535, 2},
                                   {2, 32767}, {3, 65535}})
                blit_case(image.data(), x, y, COLOR_KEY, wh[0], wh[1]);
}

// ---------------------------------------------------------------- glyphs and text

std::vector<Rgb565> random_sheet(std::mt19937& rng) {
    std::vector<Rgb565> sheet(FONT_SHEET_WIDTH * FONT_SHEET_HEIGHT);
    for (Rgb565& p : sheet) p = rng() % 2 ? 0x0000 : rng() % 2 ? COLOR_KEY : static_cast<Rgb565>(rng());
    return sheet;
}

void glyph_case(const Rgb565* sheet, std::int64_t x, std::int64_t y, Rgb565 colour, std::int64_t code) {
    check("draw_glyph(x, y, colour, code)", {x, y, colour, code},
          [&](FrameSurface* s) { draw_glyph(sheet, i32(x), i32(y), colour, i32(code), s); },
          [&](FrameSurface* s) { ref::draw_glyph(sheet, x, y, colour, code, s); });
}

TEST(GfxDifferential, RandomAndExtremeGlyphs) {
    std::mt19937 rng(1009);
    fill_pattern(rng);
    const std::vector<Rgb565> sheet = random_sheet(rng);
    for (int n = 0; n < RANDOM_CASES && g_failures < 3; ++n) {
        const std::int64_t x = rng() % 4 ? uniform(rng, -20, 340) : any_coordinate(rng);
        const std::int64_t y = rng() % 4 ? uniform(rng, -20, 260) : any_coordinate(rng);
        const std::int64_t code = rng() % 10 ? uniform(rng, 0, 255) : uniform(rng, I32_MIN, I32_MAX);
        glyph_case(sheet.data(), x, y, colour_of(rng), code);
    }
    for (std::int64_t x : Values{I32_MIN, -9, -8, -7, -3, 0, 1, 311, 312, 315, 319, 320, I32_MAX - 3, I32_MAX})
        for (std::int64_t y : Values{I32_MIN, -16, -15, 0, 224, 225, 239, 240, I32_MAX - 7, I32_MAX})
            for (std::int64_t code : Values{I32_MIN, -1, 0, 37, 255, 256, I32_MAX})
                glyph_case(sheet.data(), x, y, 0xF00F, code);
}

TEST(GfxDifferential, RandomAndExtremeText) {
    std::mt19937 rng(1010);
    fill_pattern(rng);
    auto text_case = [&](std::int64_t x, std::int64_t y, Rgb565 colour, const std::string& text) {
        check("draw_text(x, y, colour, bytes)", {x, y, colour, static_cast<std::int64_t>(text.size())},
              [&](FrameSurface* s) { draw_text(i32(x), i32(y), colour, text.c_str(), s); },
              [&](FrameSurface* s) { ref::draw_text(x, y, colour, text.c_str(), s); });
    };
    for (int n = 0; n < RANDOM_CASES && g_failures < 3; ++n) {
        std::string text(static_cast<std::size_t>(log_uniform(rng, 6)), ' ');
        for (char& c : text) c = static_cast<char>(uniform(rng, 1, 255));
        const std::int64_t x = rng() % 4 ? uniform(rng, -400, 400) : any_coordinate(rng);
        const std::int64_t y = rng() % 4 ? uniform(rng, -20, 260) : any_coordinate(rng);
        text_case(x, y, colour_of(rng), text);
    }
    const std::string long_text(200, 'W');
    for (std::int64_t x : Values{I32_MIN, I32_MIN + 5, -1601, -9, -8, 0, 10, 313, 320, 321, I32_MAX - 7, I32_MAX})
        for (const std::string& text : {std::string(), std::string(" "), std::string("%A \x01\xff"), long_text})
            text_case(x, 100, 0x07E0, text);
}

// ---------------------------------------------------------------- tunnel columns

void column_case(std::int64_t x, std::int64_t top, std::int64_t gap) {
    check("draw_tunnel_column", {x, top, gap},
          [&](FrameSurface* s) { draw_tunnel_column(i32(x), i32(top), i32(gap), s); },
          [&](FrameSurface* s) { ref::draw_tunnel_column(x, top, gap, s); });
}

TEST(GfxDifferential, RandomTunnelColumns) {
    std::mt19937 rng(1011);
    fill_pattern(rng);
    auto height = [&](std::int64_t usual_lo, std::int64_t usual_hi) {
        return rng() % 5 ? uniform(rng, usual_lo, usual_hi) : log_uniform(rng, 17) * (rng() & 1 ? 1 : -1);
    };
    int cases = 0;
    while (cases < RANDOM_CASES && g_failures < 3) {
        const std::int64_t x = rng() % 4 ? uniform(rng, -30, 340) : rng() % 2 ? -log_uniform(rng, 17) : any_coordinate(rng);
        const std::int64_t top = height(-50, 300), gap = rng() % 8 ? height(-50, 300) : 180;
        // The reference walks every row and column; keep its work bounded.
        const std::int64_t right = std::min<std::int64_t>(x + 9, 320), left = std::max<std::int64_t>(x, 0);
        const std::int64_t width = right >= left ? right - left + 1 : left - right + 1;
        const std::int64_t rows = std::max<std::int64_t>(top, 0) + std::max<std::int64_t>(319 - top - gap, 0);
        if (rows * width > (std::int64_t{1} << 20)) continue;
        column_case(x, top, gap);
        ++cases;
    }
}

// Two closed-form fills, for tops and gaps whose walls are billions of rows.
void closed_form_column(std::int64_t x, std::int64_t top, std::int64_t gap, FrameSurface* surface) {
    const std::int64_t right = std::min<std::int64_t>(x + 9, 320), left = std::max<std::int64_t>(x, 0);
    closed_form_fill(left, 0, right, top - 1, COLOR_WALL, surface);
    closed_form_fill(left, top + gap + 1, right, 319, COLOR_WALL, surface);
}

TEST(GfxDifferential, ExtremeTunnelColumns) {
    std::mt19937 rng(1012);
    fill_pattern(rng);
    // The title screen's passage may wander without bound: a column a million
    // rows off the screen draws exactly what the row-by-row fill draws.
    for (std::int64_t top : Values{1000000, -1000000})
        for (std::int64_t x : Values{-9, 0, 155, 318, 320})
            for (std::int64_t gap : Values{180, 0, -5})
                column_case(x, top, gap);
    for (std::int64_t x : Values{I32_MIN, I32_MIN + 9, -65536, -65536 - 5, -9, -10, 0, 318, 319, 320, I32_MAX - 9, I32_MAX})
        for (std::int64_t top : Values{I32_MIN, -1000000000, -1, 0, 30, 240, 1000000000, I32_MAX})
            for (std::int64_t gap : Values{I32_MIN, -1, 0, 180, I32_MAX})
                check("draw_tunnel_column", {x, top, gap},
                      [&](FrameSurface* s) { draw_tunnel_column(i32(x), i32(top), i32(gap), s); },
                      [&](FrameSurface* s) { closed_form_column(x, top, gap, s); });
}

}  // namespace
