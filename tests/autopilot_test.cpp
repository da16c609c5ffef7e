// The game can be played, not just drawn: the autopilot flies a game at SLOW
// from power-on, through the menu, for as long as it can.
#include <gtest/gtest.h>

#include <cstdio>

#include "autopilot/pilot.h"
#include "game/view.h"
#include "game_harness.h"

namespace {

TEST(Autopilot, FliesAtSlowForAtLeast3000FramesFromPowerOn) {
    Pilot pilot;
    const auto run = play_one_game(MODE_NORMAL, 0, [&pilot](const GameState& g) { return pilot.game_word(g); });
    ASSERT_GE(run.size(), 2u);
    const FrameRecord& last_game = run[run.size() - 2];
    ASSERT_TRUE(last_game.in_game);
    std::printf("autopilot at SLOW: %d game frames (cornered %llu times), score %d\n", last_game.game.frame_count,
                static_cast<unsigned long long>(pilot.cornered), last_game.score);
    EXPECT_GE(last_game.game.frame_count, 3000);
}

}  // namespace
