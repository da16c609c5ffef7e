// The drawing library's edges: clipping at each border, the stepping rule on
// ties, the band's two halves, transparent pixels, the text column that is
// never written. Pictures and a font sheet are made here; draw_text uses the
// game's own font, so its tests hold for any font.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <utility>
#include <vector>

#include "assets/assets.h"
#include "gfx/line.h"
#include "gfx/sprite.h"

namespace {

using Points = std::set<std::pair<int, int>>;

constexpr Rgb565 BACKGROUND = 0x1234;
FrameSurface g_surface, g_other;

FrameSurface* blank(FrameSurface* s = &g_surface) {
    for (Rgb565& p : s->pixels) p = BACKGROUND;
    return s;
}

Rgb565 at(int x, int y, const FrameSurface* s = &g_surface) { return s->pixels[y * SCREEN_WIDTH + x]; }

// Every pixel that no longer holds the background.
Points touched(const FrameSurface* s = &g_surface) {
    Points p;
    for (int y = 0; y < SCREEN_HEIGHT; ++y)
        for (int x = 0; x < SCREEN_WIDTH; ++x)
            if (at(x, y, s) != BACKGROUND) p.insert({x, y});
    return p;
}

Points rect(int x0, int y0, int x1, int y1) {
    Points p;
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) p.insert({x, y});
    return p;
}

TEST(Pixels, ClippedStoreKeepsExactlyTheScreen) {
    blank();
    put_pixel_clipped(319, 239, 0xAAAA, &g_surface);
    for (auto [x, y] : std::vector<std::pair<int, int>>{{320, 0}, {-1, 0}, {0, -1}, {0, 240}, {-32768, 5}, {5, 32767}})
        put_pixel_clipped(static_cast<std::int16_t>(x), static_cast<std::int16_t>(y), 0xBBBB, &g_surface);
    EXPECT_EQ(touched(), (Points{{319, 239}}));
    EXPECT_EQ(at(319, 239), 0xAAAA);
    // A 32-bit coordinate reaches the store as its low 16 bits: 2^16 + 10 is
    // column 10, 2^15 reads as -32768 and is dropped.
    blank();
    draw_line(65536 + 10, 3, 65536 + 10, 3, 0xCCCC, &g_surface);
    draw_line(32768, 4, 32768, 4, 0xCCCC, &g_surface);
    EXPECT_EQ(touched(), (Points{{10, 3}}));
}

TEST(Pixels, ClearAndReadBack) {
    blank();
    put_pixel(7, 9, COLOR_COIN, &g_surface);
    EXPECT_EQ(get_pixel(7, 9, &g_surface), COLOR_COIN) << "all 16 bits come back";
    put_pixel(320, 0, 0xBBBB, &g_surface);  // off the surface: dropped, not wrapped to (0, 1)
    put_pixel(-1, 239, 0xBBBB, &g_surface);
    EXPECT_EQ(get_pixel(0, 1, &g_surface), BACKGROUND);
    EXPECT_EQ(get_pixel(319, 238, &g_surface), BACKGROUND);
    for (auto [x, y] : std::vector<std::pair<int, int>>{{-1, 0}, {320, 0}, {0, -1}, {0, 240}, {INT32_MIN, INT32_MAX}}) {
        const Rgb565 off = get_pixel(x, y, &g_surface);
        EXPECT_NE(off, COLOR_WALL);
        EXPECT_NE(off, COLOR_COIN);
    }
    clear_surface(&g_surface);
    for (Rgb565 p : g_surface.pixels) ASSERT_EQ(p, 0x0000);
}

TEST(Lines, StepRuleAndClipping) {
    auto line = [](int x0, int y0, int x1, int y1) {
        draw_line(x0, y0, x1, y1, 0x7777, blank());
        return touched();
    };
    EXPECT_EQ(line(3, 7, 3, 7), (Points{{3, 7}}));
    // Half-way ties step toward the end point, so direction matters.
    EXPECT_EQ(line(0, 0, 4, 1), (Points{{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 1}}));
    EXPECT_EQ(line(4, 1, 0, 0), (Points{{4, 1}, {3, 1}, {2, 0}, {1, 0}, {0, 0}}));
    EXPECT_EQ(line(0, 0, 1, 4), (Points{{0, 0}, {0, 1}, {1, 2}, {1, 3}, {1, 4}}));
    EXPECT_EQ(line(0, 0, 3, 3), (Points{{0, 0}, {1, 1}, {2, 2}, {3, 3}}));
    EXPECT_EQ(line(-5, 10, 330, 10), rect(0, 10, 319, 10));
    EXPECT_EQ(line(100, -50, 100, 300), rect(100, 0, 100, 239));
}

TEST(Fills, RowsAreLinesThroughTheClippedStore) {
    fill_rows(5, 8, 5, 8, 0x7777, blank());
    EXPECT_EQ(touched(), (Points{{5, 8}}));
    fill_rows(0, 230, 9, 319, 0x7777, blank());
    EXPECT_EQ(touched(), rect(0, 230, 9, 239));
    fill_rows(9, 3, 0, 4, 0x7777, blank());  // corners in either order along x
    EXPECT_EQ(touched(), rect(0, 3, 9, 4));
    fill_rows(0, 5, 9, 4, 0x7777, blank());
    EXPECT_TRUE(touched().empty()) << "y0 > y1 draws nothing";
    fill_rows(0, INT32_MAX - 1, 3, INT32_MAX, 0x7777, blank());  // must end: rows wrap to 65534, 65535
    EXPECT_TRUE(touched().empty());
}

TEST(Band, HalvesSitOneRowApart) {
    draw_gradient_bar(100, blank());
    const Rgb565 shades[16] = {0x0000, 0x2000, 0x4000, 0x6000, 0x8000, 0xA000, 0xC000, 0xE000,
                               0xE000, 0xC000, 0xA000, 0x8000, 0x6000, 0x4000, 0x2000, 0x0000};
    for (int k = 0; k < 16; ++k)
        for (int x = 0; x < SCREEN_WIDTH; ++x) {
            const int row = 100 + k - (x < 160 ? 1 : 0);
            ASSERT_EQ(at(x, row), shades[k]) << "shade " << k << " at column " << x;
        }
    EXPECT_EQ(touched().size(), 16u * SCREEN_WIDTH) << "no other pixel, none twice";
    EXPECT_EQ(at(200, 99), BACKGROUND);
    EXPECT_EQ(at(100, 115), BACKGROUND);
    // At the top of the screen the left half of the first line is clipped.
    draw_gradient_bar(0, blank());
    EXPECT_EQ(touched().size(), 16u * SCREEN_WIDTH - 160);
    EXPECT_EQ(at(0, 0), 0x2000);
    EXPECT_EQ(at(160, 0), 0x0000);
}

// A 50 x 23 picture whose every pixel names its own column and row.
std::vector<Rgb565> numbered_picture() {
    std::vector<Rgb565> image(50 * 23);
    for (int r = 0; r < 23; ++r)
        for (int c = 0; c < 50; ++c) image[static_cast<std::size_t>(r * 50 + c)] = static_cast<Rgb565>(r << 8 | c);
    return image;
}

TEST(Sprites, KeyedPixelsAndClippedEdges) {
    const Rgb565 image[4] = {COLOR_KEY, COLOR_WHITE, 0x0000, COLOR_KEY};
    blit_keyed(image, 10, 20, blank(), COLOR_KEY, 2, 2);
    EXPECT_EQ(touched(), (Points{{11, 20}, {10, 21}}));
    EXPECT_EQ(at(11, 20), COLOR_WHITE);
    EXPECT_EQ(at(10, 21), 0x0000);
    // Nothing to draw means nothing is read: a null picture is never touched.
    blit_keyed(nullptr, 10, 20, blank(), COLOR_KEY, 0, 23);
    blit_keyed(nullptr, 10, 20, &g_surface, COLOR_KEY, 50, 0);
    EXPECT_TRUE(touched().empty());

    const std::vector<Rgb565> picture = numbered_picture();
    auto check = [&](std::int16_t x, std::int16_t y, int c_first, int c_last, int r_first, int r_last) {
        blit_keyed(picture.data(), x, y, blank(), COLOR_KEY, 50, 23);
        EXPECT_EQ(touched(), rect(x + c_first, y + r_first, x + c_last, y + r_last)) << "at " << x << ", " << y;
        for (auto [sx, sy] : touched()) ASSERT_EQ(at(sx, sy), ((sy - y) << 8) | (sx - x));
    };
    check(-10, 50, 10, 49, 0, 22);
    check(310, 50, 0, 9, 0, 22);
    check(100, 230, 0, 49, 0, 9);
    check(-49, -22, 49, 49, 22, 22);
}

// A font sheet where cell `code` has ink in its first column on every row
// and, on row r, at column 1 + (code + r) % 7; everything else is background.
std::vector<Rgb565> test_sheet() {
    std::vector<Rgb565> sheet(FONT_SHEET_WIDTH * FONT_SHEET_HEIGHT, COLOR_KEY);
    for (int code = 0; code < 256; ++code)
        for (int r = 0; r < GLYPH_HEIGHT; ++r) {
            const int row = (code / 32) * GLYPH_HEIGHT + r, col = (code % 32) * GLYPH_WIDTH;
            sheet[static_cast<std::size_t>(row * FONT_SHEET_WIDTH + col)] = 0x0000;
            sheet[static_cast<std::size_t>(row * FONT_SHEET_WIDTH + col + 1 + (code + r) % 7)] = 0x0000;
            if (r == 0) sheet[static_cast<std::size_t>(row * FONT_SHEET_WIDTH + col + 2)] = 0xF800;  // coloured, not ink
        }
    return sheet;
}

// The ink of `code` at (x, y) as the cell describes it, within columns 1-319.
Points cell_ink(int code, int x, int y) {
    Points p;
    for (int r = 0; r < GLYPH_HEIGHT; ++r)
        for (int c : {0, 1 + (code + r) % 7})
            if (x + c >= 1 && x + c <= 319) p.insert({x + c, y + r});
    return p;
}

TEST(Glyphs, CellsInkAndTheColumnsTheyMayUse) {
    const std::vector<Rgb565> sheet = test_sheet();
    for (int code : {0, 37, 31, 32, 200, 255}) {
        draw_glyph(sheet.data(), 40, 100, COLOR_HIGHLIGHT, code, blank());
        EXPECT_EQ(touched(), cell_ink(code, 40, 100)) << "code " << code;
    }
    // Column 0 is never written, even by ink in the cell's first column.
    draw_glyph(sheet.data(), 0, 100, COLOR_HIGHLIGHT, '%', blank());
    EXPECT_EQ(touched(), cell_ink('%', 0, 100));
    EXPECT_EQ(at(0, 100), BACKGROUND);
    // At -3 only cell columns 4-7 show; at 315 only columns 0-4.
    draw_glyph(sheet.data(), -3, 100, COLOR_HIGHLIGHT, 'A', blank());
    for (auto [x, y] : touched()) EXPECT_GE(x + 3, 4);
    EXPECT_EQ(touched(), cell_ink('A', -3, 100));
    draw_glyph(sheet.data(), 315, 100, COLOR_HIGHLIGHT, 'A', blank());
    EXPECT_EQ(touched(), cell_ink('A', 315, 100));
    // The second colour wins on the ink, the surface keeps everything else.
    draw_glyph(sheet.data(), 60, 30, COLOR_WHITE, 'B', blank());
    draw_glyph(sheet.data(), 60, 30, COLOR_DIM, 'B', &g_surface);
    EXPECT_EQ(touched(), cell_ink('B', 60, 30));
    for (auto [x, y] : touched()) EXPECT_EQ(at(x, y), COLOR_DIM);
    // Codes outside 0-255 and rows off the surface draw nothing.
    for (int code : {-1, 256, INT32_MIN}) draw_glyph(sheet.data(), 60, 30, COLOR_WHITE, code, blank());
    draw_glyph(sheet.data(), 60, -16, COLOR_WHITE, 'C', &g_surface);
    draw_glyph(sheet.data(), 60, 240, COLOR_WHITE, 'C', &g_surface);
    EXPECT_TRUE(touched().empty());
    draw_glyph(sheet.data(), 60, 230, COLOR_WHITE, 'C', &g_surface);  // rows 240-245 skipped
    Points on_screen;
    for (auto p : cell_ink('C', 60, 230))
        if (p.second <= 239) on_screen.insert(p);
    EXPECT_EQ(touched(), on_screen);
}

TEST(Text, IsGlyphsEightColumnsApart) {
    // Whatever the font looks like, a string is its cells at x, x + 8, ...
    auto same_as_glyphs = [](int x, int y, const char* text) {
        draw_text(x, y, COLOR_HIGHLIGHT, text, blank(&g_surface));
        blank(&g_other);
        for (int i = 0; text[i] != '\0'; ++i)
            draw_glyph(g_font_sheet, x + 8 * i, y, COLOR_HIGHLIGHT, static_cast<unsigned char>(text[i]), &g_other);
        return std::memcmp(&g_surface, &g_other, sizeof g_surface) == 0;
    };
    EXPECT_TRUE(same_as_glyphs(10, 100, "SCORE: 42"));
    EXPECT_TRUE(same_as_glyphs(10, 100, "A B"));
    EXPECT_TRUE(same_as_glyphs(-13, 219, "\x01\t\n\xff%"));
    EXPECT_TRUE(same_as_glyphs(300, 0, "WRAP? NO"));
    draw_text(10, 100, COLOR_WHITE, "", blank());
    EXPECT_TRUE(touched().empty());
    // The first character owns columns 10-17, the second 18-25.
    draw_text(10, 100, COLOR_WHITE, "MW", blank());
    for (auto [x, y] : touched()) EXPECT_TRUE(x >= 10 && x <= 25 && y >= 100 && y <= 115) << x << ", " << y;
}

}  // namespace
