// The coin and the probe points: when a coin may come, what it pays, and
// what a probe point off the screen sees. The block's life and turns, the
// order of the random draws and the crash frames are fixed by the golden runs.
#include <gtest/gtest.h>

#include <cstdlib>

#include "game/view.h"
#include "gfx/line.h"
#include "game_harness.h"
#include "platform/buttons.h"
#include "platform/display.h"

namespace {

// The block's edge at x 299/300 exactly, and a coin in play.
TEST(Coin, AWinningRollPlacesACoinOnlyOnceTheBlockIsAtX299) {
    OwnSurface own;
    int win = 0;  // index of the first winning roll from power-on
    for (std::srand(1); std::rand() % 80 != 0;) ++win;
    const auto coin_after_roll = [win](std::int32_t block_x, std::int32_t coin_x) {
        GameState s = new_game(MODE_COIN, 2);
        s.block_x = block_x;
        s.coin_x = coin_x;
        s.coin_y = 100;
        std::srand(1);
        for (int i = 0; i < win; ++i) std::rand();
        update_coin(&s);
        return s.coin_x;
    };
    EXPECT_EQ(coin_after_roll(300, -40), -40);
    EXPECT_EQ(coin_after_roll(299, -40), 320 - 5);
    EXPECT_EQ(coin_after_roll(299, 200), 195) << "a coin in play moves by the step";
}

TEST(Coin, TouchingItPaysFortyStepsAndAWallInTheSameFrameStillEndsTheGame) {
    OwnSurface own;
    GameState s = new_game(MODE_COIN, 2);
    s.coin_x = 200;  // in play, away from the chopper
    s.coin_y = 100;
    g_score = 1000;
    put_pixel(s.chopper_x + 3, s.chopper_y + 17, COLOR_COIN, g_draw_target);  // probe point 10
    put_pixel(s.chopper_x - 1, s.chopper_y - 1, COLOR_WALL, g_draw_target);   // probe point 1
    update_coin(&s);
    EXPECT_EQ(g_score, 1200);
    EXPECT_EQ(s.coin_x, -40);
    test_crash(&s);
    EXPECT_EQ(s.crashed, 1);
    g_score = 0;
}

// Contact is read at ten points around the chopper's picture and nowhere else:
// every other pixel of its box and a pixel beyond may be wall.
TEST(Collision, OnlyTheTenProbePointsAreRead) {
    OwnSurface own;
    GameState s = new_game(MODE_NORMAL, 0);
    const std::int32_t points[PROBE_COUNT][2] = {{-1, -1}, {10, 1},  {31, -1}, {50, 2},  {42, 13},
                                                 {42, 22}, {32, 23}, {22, 22}, {15, 13}, {3, 17}};
    fill_rows(s.chopper_x - 2, s.chopper_y - 2, s.chopper_x + 51, s.chopper_y + 24, COLOR_WALL, g_draw_target);
    for (const auto& p : points) put_pixel(s.chopper_x + p[0], s.chopper_y + p[1], 0, g_draw_target);
    EXPECT_FALSE(chopper_touches(&s, COLOR_WALL));
    for (const auto& p : points) {
        put_pixel(s.chopper_x + p[0], s.chopper_y + p[1], COLOR_WALL, g_draw_target);
        EXPECT_TRUE(chopper_touches(&s, COLOR_WALL)) << "probe point " << p[0] << ", " << p[1];
        put_pixel(s.chopper_x + p[0], s.chopper_y + p[1], 0, g_draw_target);
    }
}

// A chopper leaving the screen ends the game: a probe point off the surface
// is wall, and never coin.
TEST(LeavingTheScreen, AProbePointOffTheSurfaceCountsAsWallNeverAsCoin) {
    OwnSurface own;  // cleared: no walls at all
    GameState s = new_game(MODE_NORMAL, 0);
    for (const std::int32_t y : {-10000, -25, 0, 217, 240, 10000}) {
        s.chopper_y = y;
        EXPECT_TRUE(chopper_touches(&s, COLOR_WALL)) << "row " << y;
        EXPECT_FALSE(chopper_touches(&s, COLOR_COIN)) << "row " << y;
    }
    // Half off the top, a coin under a probe point still on the screen is seen.
    s.chopper_y = 0;
    put_pixel(s.chopper_x + 3, 17, COLOR_COIN, g_draw_target);
    EXPECT_TRUE(chopper_touches(&s, COLOR_COIN));
    for (const std::int32_t y : {1, 216}) {
        s.chopper_y = y;
        EXPECT_FALSE(chopper_touches(&s, COLOR_WALL)) << "row " << y;
    }
}

}  // namespace
