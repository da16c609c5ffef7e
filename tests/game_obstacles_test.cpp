// The block and the coin: how long a block lives, how the moving block turns,
// when a coin may come, what it pays, and the order of the random draws that
// place the tunnel's new columns, the blocks and the coins.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include "autopilot/pilot.h"
#include "game/view.h"
#include "game_harness.h"
#include "platform/buttons.h"
#include "platform/display.h"

namespace {

// A surface of its own on the heap, so that a read past its edges is a
// memory error a sanitizer build reports.
struct OwnSurface {
    std::unique_ptr<FrameSurface> surface = std::make_unique<FrameSurface>();
    FrameSurface* saved = g_draw_target;
    OwnSurface() {
        clear_surface(surface.get());
        g_draw_target = surface.get();
    }
    ~OwnSurface() { g_draw_target = saved; }
};

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

// The replay below checks the order and outcome of every roll through whole
// games; here the block's edge at x 299/300 exactly, and a coin in play.
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

// Replays libc's sequence from power-on against a whole recorded run: every
// random draw must come where the rules put it, none more, none fewer.
struct RandReplay {
    int blocked_wins = 0;  // winning coin rolls that the block held back
    std::string failure;

    void check(bool ok, const FrameRecord& r, const char* what) {
        if (!ok && failure.empty()) failure = "frame " + std::to_string(r.frame) + ": " + what;
    }

    void title_frame(const FrameRecord& r, std::int32_t* top33) {
        if (r.title.tunnel.offset != 0) return;  // no shift, no draw
        *top33 += std::rand() % 2 != 0 ? 4 : -4;
        check(r.title.tunnel.top[33] == *top33, r, "title tunnel walk");
    }

    void game_frame(const FrameRecord& r, const GameState& before) {
        const GameState& g = r.game;
        std::int32_t top = before.tunnel.top[33], gap = before.tunnel.gap[33];
        if (g.tunnel.offset == 0) {
            const bool down = std::rand() % 2 != 0;
            if (down && top <= 54) {
                top += 4;
                gap = 180 - g.frame_count / 100;
            } else if (!down && top > 5) {
                top -= 4;
                gap = 180 - g.frame_count / 100;
            }
        }
        check(g.tunnel.top[33] == top && g.tunnel.gap[33] == gap, r, "game tunnel walk");
        if (before.block_x < -20) {
            std::int32_t y = std::rand() % 180;
            std::int32_t dir = std::rand() % 2;
            if (g.mode == MODE_MOVING) {
                if (dir == 1 && ++y > 179) dir = 0;
                if (dir == 0) {
                    if (y > 0) --y;
                    if (y <= 0) dir = 1;
                }
            }
            check(g.block_x == 320 - g.scroll_step && g.block_y == y && g.block_dir == dir, r, "block placement");
        }
        if (g.mode == MODE_COIN && before.coin_x == -40) {
            const bool win = std::rand() % 80 == 0;
            if (win && g.block_x > 299) ++blocked_wins;
            if (win && g.block_x <= 299) {
                const std::int32_t y = 60 + std::rand() % 121;
                check(g.coin_x == 320 - g.scroll_step && g.coin_y == y, r, "coin placement");
            } else {
                check(g.coin_x == -40, r, "no coin after a roll");
            }
        }
    }

    void run(const std::vector<FrameRecord>& records) {
        std::srand(1);
        std::int32_t top33 = 0;
        GameState before{};
        for (std::size_t i = 0; i < records.size() && failure.empty(); ++i) {
            const FrameRecord& r = records[i];
            const bool entering = i == 0 || records[i - 1].in_game != r.in_game;
            if (!r.in_game) {
                if (entering) top33 = 30;
                title_frame(r, &top33);
                continue;
            }
            if (entering) before = new_game(r.last_mode, r.last_speed);
            game_frame(r, before);
            before = r.game;
        }
    }
};

// Two games in a row from power-on, flown by the pilot for a while each.
std::vector<FrameRecord> two_games(std::int32_t mode, std::int32_t speed, std::int32_t fly) {
    Pilot pilot;
    int games = 0;
    RunOptions options;
    options.stop = [&games](const std::vector<FrameRecord>& run) {
        if (run.size() > 1 && run[run.size() - 2].in_game && !run.back().in_game) ++games;
        return games == 2;
    };
    const auto buttons = [&](std::uint64_t, std::uint64_t poll) -> std::uint32_t {
        if (g_game_view == nullptr) return poll % 2 == 0 ? 0u : Pilot::menu_word(*g_title_view, mode, speed, poll);
        return g_game_view->frame_count <= fly ? pilot.game_word(*g_game_view) : 0u;
    };
    return run_program(40000, buttons, options);
}

TEST(RandomDraws, ComeInTheirFixedOrderThroughWholeGames) {
    const struct {
        std::int32_t mode, speed, fly;
    } games[] = {{MODE_COIN, 0, 3000}, {MODE_COIN, 1, 4000}, {MODE_COIN, 3, 1500}, {MODE_NORMAL, 1, 800}, {MODE_MOVING, 2, 800}};
    int blocked_wins = 0;
    for (const auto& game : games) {
        const auto run = two_games(game.mode, game.speed, game.fly);
        const int after_run = std::rand();  // the program's next draw
        RandReplay replay;
        replay.run(run);
        EXPECT_EQ(replay.failure, "") << "mode " << game.mode << " speed " << game.speed;
        EXPECT_EQ(std::rand(), after_run) << "a different number of draws, mode " << game.mode;
        blocked_wins += replay.blocked_wins;
    }
    EXPECT_GT(blocked_wins, 0) << "no game showed a winning roll held back by the block";
}

}  // namespace
