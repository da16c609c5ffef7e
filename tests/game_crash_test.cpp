// The end of a game: the first touch of a wall or the block, a chopper that
// leaves the screen, the crash frame that still runs to its end, and the
// title screen that shows its score.
#include <gtest/gtest.h>

#include <string>

#include "autopilot/pilot.h"
#include "game/view.h"
#include "game_harness.h"
#include "platform/buttons.h"
#include "platform/display.h"

namespace {

// Every frame of the game in `run` against the model of what its probe
// points see: crashed exactly in the first frame in which one of them lies
// on the tunnel's wall, on the block or off the screen. Returns the crash
// frame's index in `run`.
std::size_t expect_crash_where_the_model_says(const std::vector<FrameRecord>& run) {
    const long first = find_frame(run, [](const FrameRecord& r) { return r.in_game; });
    EXPECT_GE(first, 0);
    GameState drawn = new_game(run[static_cast<std::size_t>(first)].last_mode,
                               run[static_cast<std::size_t>(first)].last_speed);
    for (auto i = static_cast<std::size_t>(first); i < run.size() && run[i].in_game; ++i) {
        const GameState& g = run[i].game;
        const bool touching = model_crash(drawn, drawn.chopper_y);
        EXPECT_EQ(g.crashed, touching ? 1 : 0) << "game frame " << g.frame_count;
        if (g.crashed != 0 || touching) return i;
        drawn = g;
    }
    ADD_FAILURE() << "the game never ended";
    return run.size() - 1;
}

TEST(Crash, SinkingIntoTheFloorEndsTheGameAndTheCrashFrameRunsToItsEnd) {
    const auto run = play_one_game(MODE_NORMAL, 1, [](const GameState&) { return 0u; });
    const std::size_t c = expect_crash_where_the_model_says(run);
    const FrameRecord& crash = run[c];
    const FrameRecord& before = run[c - 1];
    // The frame still polled, steered, moved the chopper and scored.
    EXPECT_EQ(crash.polls, before.polls + 1);
    EXPECT_EQ(crash.game.momentum, before.game.momentum + 1);
    EXPECT_EQ(crash.game.chopper_y, before.game.chopper_y + crash.game.vertical_speed);
    EXPECT_EQ(crash.score, 2 * crash.game.frame_count);
    // The next frame shown is the title screen with that score.
    ASSERT_EQ(c + 1, run.size() - 1);
    const FrameRecord& title = run.back();
    EXPECT_FALSE(title.in_game);
    EXPECT_EQ(title.score, crash.score);
    EXPECT_EQ(std::string(title.title.score_text), "LAST SCORE: " + std::to_string(crash.score));
    EXPECT_EQ(title.title.mode, MODE_NORMAL);
    EXPECT_EQ(title.title.speed, 1);
}

TEST(Crash, FlyingIntoTheBlockEndsTheGame) {
    // The pilot heads for the middle of the first block, minding nothing else.
    Pilot pilot;
    pilot.reckless = true;
    pilot.target = [](const GameState& g) { return g.block_y + 30; };
    const auto run = play_one_game(MODE_NORMAL, 1, [&pilot](const GameState& g) { return pilot.game_word(g); });
    const std::size_t c = expect_crash_where_the_model_says(run);
    GameState drawn = run[c - 1].game;
    ASSERT_TRUE(model_crash(drawn, drawn.chopper_y));
    drawn.block_x = -100;  // without the block nothing would be touched
    EXPECT_FALSE(model_crash(drawn, drawn.chopper_y)) << "the crash was not the block's";
}

// The stages of a game frame that decide a crash, on a made-up game.
void crash_stages(GameState* s, bool hold) {
    clear_surface(g_draw_target);
    draw_tunnel(&s->tunnel, g_draw_target);
    update_block(s);
    draw_chopper(s);
    test_crash(s);
    g_key_state[BUTTON_ACTION] = hold ? 1 : 0;
    steer_chopper(s);
    move_chopper(s);
    g_key_state[BUTTON_ACTION] = 0;
}

GameState far_block_game() {
    GameState s = new_game(MODE_NORMAL, 0);
    s.block_x = 250;  // well away from the chopper
    s.block_y = 0;
    return s;
}

TEST(LeavingTheScreen, AProbePointOffTheSurfaceCountsAsWallNeverAsCoin) {
    OwnSurface own;
    clear_surface(g_draw_target);  // no walls at all
    GameState s = far_block_game();
    for (const std::int32_t y : {-10000, -25, 0, 217, 240, 10000}) {
        s.chopper_y = y;
        EXPECT_TRUE(chopper_touches(&s, COLOR_WALL)) << "row " << y;
        EXPECT_FALSE(chopper_touches(&s, COLOR_COIN)) << "row " << y;
    }
    for (const std::int32_t y : {1, 216}) {
        s.chopper_y = y;
        EXPECT_FALSE(chopper_touches(&s, COLOR_WALL)) << "row " << y;
    }
}

TEST(LeavingTheScreen, ClimbingOrSinkingWhollyOffTheScreenEndsTheGame) {
    // A roof two rows thick and a climb of 36 rows a frame take the chopper
    // from row 3 wholly above the screen; a one-row floor (top 58, gap 180)
    // and a fall of 31 rows take it from 215 wholly below. Neither frame
    // touches a wall; the next one ends the game.
    const struct {
        std::int32_t top, chopper_y, momentum;
        bool hold;
    } cases[] = {{2, 3, -44, true}, {58, 215, 40, false}};
    for (const auto& c : cases) {
        OwnSurface own;
        GameState s = far_block_game();
        for (std::int32_t& top : s.tunnel.top) top = c.top;
        s.chopper_y = c.chopper_y;
        s.momentum = c.momentum;
        crash_stages(&s, c.hold);
        EXPECT_EQ(s.crashed, 0) << "from row " << c.chopper_y;
        EXPECT_TRUE(c.hold ? s.chopper_y < -24 : s.chopper_y > 240) << "from row " << c.chopper_y;
        crash_stages(&s, c.hold);
        EXPECT_EQ(s.crashed, 1) << "from row " << c.chopper_y;
    }
}

}  // namespace
