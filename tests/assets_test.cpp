// Properties of the compiled-in pictures and font that the game depends on:
// exact sizes, the transparent key, the colours the collision test reads
// back, the chopper's probe points and rotor, and the font's cell metrics.
#include "assets/assets.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

std::set<Rgb565> colours_of(const Rgb565* image, int count) { return std::set<Rgb565>(image, image + count); }

Rgb565 chopper_pixel(const Rgb565* frame, int x, int y) { return frame[y * CHOPPER_WIDTH + x]; }

// One font cell as 16 rows of 8 bits, bit c set where column c has ink.
using Cell = std::array<unsigned, 16>;

Cell cell_of(int code) {
    Cell cell{};
    int cx = (code % 32) * 8, cy = (code / 32) * 16;
    for (int r = 0; r < 16; ++r)
        for (int c = 0; c < 8; ++c)
            if (g_font_sheet[(cy + r) * 256 + cx + c] == 0x0000) cell[static_cast<std::size_t>(r)] |= 1u << c;
    return cell;
}

bool blank(const Cell& cell) {
    return std::all_of(cell.begin(), cell.end(), [](unsigned row) { return row == 0; });
}

int top_row(const Cell& cell) {
    for (int r = 0; r < 16; ++r)
        if (cell[static_cast<std::size_t>(r)]) return r;
    return -1;
}

int bottom_row(const Cell& cell) {
    for (int r = 15; r >= 0; --r)
        if (cell[static_cast<std::size_t>(r)]) return r;
    return -1;
}

std::string name(int code) { return "cell " + std::to_string(code) + " '" + std::string(1, static_cast<char>(code)) + "'"; }

}  // namespace

TEST(Assets, SizesAreExactAndNoPictureHoldsWhite) {
    // 0xFFFF is an ordinary drawn colour, one step from the key: a picture
    // holding it would show white specks where it was meant to be clear.
    const struct {
        const Rgb565* image;
        std::size_t bytes;
        int pixels;
    } all[] = {{g_title_image, sizeof g_title_image, TITLE_WIDTH * TITLE_HEIGHT},
               {g_coin_image, sizeof g_coin_image, COIN_SIZE * COIN_SIZE},
               {g_chopper_frame_a, sizeof g_chopper_frame_a, CHOPPER_WIDTH * CHOPPER_HEIGHT},
               {g_chopper_frame_b, sizeof g_chopper_frame_b, CHOPPER_WIDTH * CHOPPER_HEIGHT},
               {g_font_sheet, sizeof g_font_sheet, 256 * 128}};
    const std::size_t bytes[] = {46800, 2048, 2300, 2300, 65536};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(all[i].bytes, bytes[i]) << "asset " << i;
        EXPECT_EQ(all[i].bytes, 2u * static_cast<std::size_t>(all[i].pixels)) << "asset " << i;
        EXPECT_EQ(colours_of(all[i].image, all[i].pixels).count(COLOR_WHITE), 0u) << "asset " << i;
    }
    EXPECT_EQ(colours_of(g_font_sheet, 256 * 128), (std::set<Rgb565>{0x0000, COLOR_KEY}));
}

TEST(Coin, GoldBlackAndKeyWithTheKeyOnlyInTheFourCorners) {
    const std::set<Rgb565> expected = {COLOR_COIN, 0x0000, COLOR_KEY};
    EXPECT_EQ(colours_of(g_coin_image, COIN_SIZE * COIN_SIZE), expected);
    auto at = [](int x, int y) { return g_coin_image[y * COIN_SIZE + x]; };

    // The key fills exactly the four corners: everything reachable over key
    // pixels from a corner, nothing near the middle of an edge or inside.
    std::vector<bool> reached(COIN_SIZE * COIN_SIZE, false);
    std::vector<std::pair<int, int>> stack = {{0, 0}, {31, 0}, {0, 31}, {31, 31}};
    while (!stack.empty()) {
        auto [x, y] = stack.back();
        stack.pop_back();
        if (x < 0 || y < 0 || x >= COIN_SIZE || y >= COIN_SIZE || reached[static_cast<std::size_t>(y * COIN_SIZE + x)] ||
            at(x, y) != COLOR_KEY)
            continue;
        reached[static_cast<std::size_t>(y * COIN_SIZE + x)] = true;
        stack.insert(stack.end(), {{x + 1, y}, {x - 1, y}, {x, y + 1}, {x, y - 1}});
    }
    for (int y = 0; y < COIN_SIZE; ++y)
        for (int x = 0; x < COIN_SIZE; ++x) {
            bool key = at(x, y) == COLOR_KEY;
            EXPECT_EQ(key, reached[static_cast<std::size_t>(y * COIN_SIZE + x)]) << x << "," << y;
            int dx2 = 2 * x - 31, dy2 = 2 * y - 31;  // twice the offset from the centre
            if (key) {
                EXPECT_GT(dx2 * dx2 + dy2 * dy2, 4 * 14 * 14) << "key inside the disc at " << x << "," << y;
            }
        }
}

TEST(Chopper, TenColoursNeverTheWallOrCoinAndClearProbePoints) {
    const std::set<Rgb565> expected = {0x62C6, 0xA4C4, 0xFF40, 0x62C8, 0xCE56, 0xFFE6, 0x4206, 0xE736, 0x29A2, 0xF800, COLOR_KEY};
    const int probes[6][2] = {{10, 1}, {42, 13}, {42, 22}, {22, 22}, {15, 13}, {3, 17}};
    for (const Rgb565* frame : {g_chopper_frame_a, g_chopper_frame_b}) {
        std::set<Rgb565> used = colours_of(frame, CHOPPER_WIDTH * CHOPPER_HEIGHT);
        EXPECT_EQ(used, expected);
        EXPECT_EQ(used.count(COLOR_WALL) + used.count(COLOR_COIN), 0u);
        for (const auto& p : probes) EXPECT_EQ(chopper_pixel(frame, p[0], p[1]), COLOR_KEY) << p[0] << "," << p[1];
    }
}

TEST(Chopper, FramesDifferOnlyInTheRotorAndTheBodyStaysLeftOfColumn43) {
    for (int y = 0; y < CHOPPER_HEIGHT; ++y)
        for (int x = 0; x < CHOPPER_WIDTH; ++x) {
            bool rotor = y == 2 && x >= 10;
            if (!rotor) {
                EXPECT_EQ(chopper_pixel(g_chopper_frame_a, x, y), chopper_pixel(g_chopper_frame_b, x, y)) << x << "," << y;
                if (x > 42) {
                    EXPECT_EQ(chopper_pixel(g_chopper_frame_a, x, y), COLOR_KEY) << x << "," << y;
                }
            }
        }
    // The body is drawn: something in the first and last rows and columns 0 and 42.
    auto drawn_in_column = [](int x) {
        for (int y = 0; y < CHOPPER_HEIGHT; ++y)
            if (chopper_pixel(g_chopper_frame_a, x, y) != COLOR_KEY) return true;
        return false;
    };
    EXPECT_TRUE(drawn_in_column(0));
    EXPECT_TRUE(drawn_in_column(42));
}

TEST(Chopper, RotorRows) {
    // Frame A: the blur of a spinning rotor, hub and single red glints.
    std::map<int, Rgb565> a = {{24, 0xF800}, {28, 0xF800}, {29, 0xA4C4}, {30, 0xF800}, {31, 0xF800},
                               {32, 0xF800}, {33, 0xA4C4}, {34, 0xF800}, {38, 0xF800}};
    for (int x = 10; x < CHOPPER_WIDTH; ++x) {
        Rgb565 want = a.count(x) ? a[x] : COLOR_KEY;
        EXPECT_EQ(chopper_pixel(g_chopper_frame_a, x, 2), want) << "frame A column " << x;
    }
    // Frame B: a full blade, red tips, yellow, and the hub in olive and brown.
    std::set<Rgb565> hub;
    for (int x = 10; x < CHOPPER_WIDTH; ++x) {
        Rgb565 p = chopper_pixel(g_chopper_frame_b, x, 2);
        if (x <= 11 || x >= 48) {
            EXPECT_EQ(p, 0xF800) << "frame B column " << x;
        } else if (x <= 28 || x >= 34) {
            EXPECT_EQ(p, 0xFF40) << "frame B column " << x;
        } else {
            hub.insert(p);
        }
    }
    EXPECT_EQ(hub, (std::set<Rgb565>{0xA4C4, 0x62C6}));
}

TEST(Title, ColoursAndExtent) {
    const int count = TITLE_WIDTH * TITLE_HEIGHT;
    std::map<Rgb565, int> histogram;
    for (int i = 0; i < count; ++i) ++histogram[g_title_image[i]];
    int keys = histogram[COLOR_KEY];
    EXPECT_GE(keys * 100, count * 25);
    EXPECT_LE(keys * 100, count * 40);
    EXPECT_GE(histogram.size(), 200u);
    EXPECT_GT(histogram.count(0x4000), 0u);
    EXPECT_GT(histogram.count(0xF800), 0u);
    Rgb565 most = 0;
    int most_count = 0;
    for (const auto& [colour, n] : histogram)
        if (colour != COLOR_KEY && n > most_count) most = colour, most_count = n;
    EXPECT_EQ(most, 0xFF40);

    // Drawn to its first and last columns and down to row 75; rows 76-77 clear.
    auto drawn = [](int x0, int y0, int x1, int y1) {
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x)
                if (g_title_image[y * TITLE_WIDTH + x] != COLOR_KEY) return true;
        return false;
    };
    EXPECT_TRUE(drawn(0, 0, TITLE_WIDTH - 1, 0));
    EXPECT_TRUE(drawn(0, 75, TITLE_WIDTH - 1, 75));
    EXPECT_FALSE(drawn(0, 76, TITLE_WIDTH - 1, 77));
    EXPECT_TRUE(drawn(0, 0, 0, TITLE_HEIGHT - 1));
    EXPECT_TRUE(drawn(299, 0, 299, TITLE_HEIGHT - 1));
}

TEST(Font, OnlyNulAndSpaceAreBlank) {
    for (int code = 0; code < 256; ++code) EXPECT_EQ(blank(cell_of(code)), code == 0 || code == 32) << "cell " << code;
}

TEST(Font, PrintableAsciiMetrics) {
    const std::string column_zero_allowed = "\"#%&*^_~";
    for (int code = 33; code < 127; ++code) {
        Cell cell = cell_of(code);
        EXPECT_GE(top_row(cell), 1) << name(code);
        EXPECT_LE(bottom_row(cell), 12) << name(code);
        bool column_zero = std::any_of(cell.begin(), cell.end(), [](unsigned row) { return row & 1u; });
        if (column_zero_allowed.find(static_cast<char>(code)) == std::string::npos) {
            EXPECT_FALSE(column_zero) << name(code) << " has ink in column 0";
        }
    }
    // The percent sign is one of the wide ones that does use column 0.
    Cell percent = cell_of('%');
    EXPECT_TRUE(std::any_of(percent.begin(), percent.end(), [](unsigned row) { return row & 1u; }));

    auto expect_rows = [](int code, int top, int bottom) {
        Cell cell = cell_of(code);
        EXPECT_EQ(top_row(cell), top) << name(code);
        EXPECT_EQ(bottom_row(cell), bottom) << name(code);
    };
    for (int c = 'A'; c <= 'Z'; ++c) expect_rows(c, 2, 10);
    for (int c = '0'; c <= '9'; ++c) expect_rows(c, 2, 10);
    for (char c : std::string("acemnorsuvwxz")) expect_rows(c, 5, 10);
    for (char c : std::string("bdhkl")) expect_rows(c, 2, 10);
    for (char c : std::string("gpqy")) expect_rows(c, 5, 12);
    EXPECT_LE(top_row(cell_of('j')), 4);
    EXPECT_EQ(bottom_row(cell_of('j')), 12);
    EXPECT_LE(top_row(cell_of('i')), 4);
    EXPECT_EQ(bottom_row(cell_of('i')), 10);
}

TEST(Font, EveryCharacterTheGamePrintsIsDrawnAndDistinct) {
    std::string printed = "!',-:";
    for (char c = 'A'; c <= 'Z'; ++c) printed += c;
    for (char c = 'a'; c <= 'z'; ++c) printed += c;
    for (char c = '0'; c <= '9'; ++c) printed += c;
    std::map<Cell, char> seen;
    for (char c : printed) {
        Cell cell = cell_of(static_cast<unsigned char>(c));
        EXPECT_FALSE(blank(cell)) << name(c);
        auto [it, fresh] = seen.emplace(cell, c);
        EXPECT_TRUE(fresh) << "'" << c << "' looks the same as '" << it->second << "'";
    }
}
