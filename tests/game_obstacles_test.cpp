// The block and the coin: how long a block lives, how the moving block turns,
// when a coin may come and what it pays, and the probe points. The order of
// the random draws is fixed by the golden runs.
#include <gtest/gtest.h>

#include <cstdlib>

#include "game/view.h"
#include "game_harness.h"
#include "platform/buttons.h"
#include "platform/display.h"

namespace {

TEST(Block, LivesFor341_171_69_35FramesAtTheFourSteps) {
    OwnSurface own;
    const std::int32_t lifetimes[] = {341, 171, 69, 35};
    for (int level = 0; level < 4; ++level) {
        GameState s = new_game(MODE_NORMAL, level);
        std::vector<int> lives;
        int frames = 0;
        for (int frame = 1; frame <= 1200; ++frame) {
            const bool placing = s.block_x < -20;
            update_block(&s);
            const std::int32_t drawn_x = s.block_x + s.scroll_step;
            if (placing) {
                EXPECT_EQ(drawn_x, 320);
                if (frame > 1) lives.push_back(frames);
                frames = 0;
            }
            EXPECT_GE(drawn_x, -20);
            ++frames;
        }
        ASSERT_GE(lives.size(), 2u);
        for (int life : lives) EXPECT_EQ(life, lifetimes[level]) << "step " << SCROLL_STEPS[level];
    }
}

// The rows the moving block is drawn at in `frames` frames from (y, dir).
std::vector<std::int32_t> moving_rows(std::int32_t y, std::int32_t dir, int frames) {
    OwnSurface own;
    GameState s = new_game(MODE_MOVING, 0);
    s.block_x = 200;
    s.block_y = y;
    s.block_dir = dir;
    std::vector<std::int32_t> rows;
    for (int i = 0; i < frames; ++i) {
        rows.push_back(s.block_y);
        update_block(&s);
    }
    return rows;
}

TEST(Block, MovingBlockShowsRow179TwiceAndRow0Once) {
    EXPECT_EQ(moving_rows(177, 1, 5), (std::vector<std::int32_t>{177, 178, 179, 179, 178}));
    EXPECT_EQ(moving_rows(2, 0, 5), (std::vector<std::int32_t>{2, 1, 0, 1, 2}));
    // Placed at the ends of its range, heading outwards.
    EXPECT_EQ(moving_rows(179, 1, 3), (std::vector<std::int32_t>{179, 179, 178}));
    EXPECT_EQ(moving_rows(0, 0, 3), (std::vector<std::int32_t>{0, 0, 1}));
}

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

TEST(Collision, OnlyTheProbePointsSeeTheWall) {
    OwnSurface own;
    GameState s = new_game(MODE_NORMAL, 0);
    put_pixel(s.chopper_x + 25, s.chopper_y + 12, COLOR_WALL, g_draw_target);  // under the body
    test_crash(&s);
    EXPECT_EQ(s.crashed, 0);
    for (const ProbePoint& p : PROBE_POINTS) {
        clear_surface(g_draw_target);
        put_pixel(s.chopper_x + p.dx, s.chopper_y + p.dy, COLOR_WALL, g_draw_target);
        EXPECT_TRUE(chopper_touches(&s, COLOR_WALL)) << p.dx << "," << p.dy;
        EXPECT_FALSE(chopper_touches(&s, COLOR_COIN));
    }
}

}  // namespace
