// The chopper's flight: climbing and sinking with inertia from rest and from
// a fast sink. The score and the speed curve through whole games are fixed by
// the golden runs.
#include <gtest/gtest.h>

#include "game_harness.h"
#include "platform/buttons.h"

namespace {

// Game frame `n` of a run whose game starts after title frame `title_frames`.
const FrameRecord& game_frame(const std::vector<FrameRecord>& run, std::uint64_t title_frames, std::uint64_t n) {
    const FrameRecord& r = run.at(title_frames + n - 1);
    EXPECT_TRUE(r.in_game);
    EXPECT_EQ(r.game.frame_count, static_cast<std::int32_t>(n));
    return r;
}

TEST(Flight, HoldingFromRestClimbs23RowsIn10Frames95In20) {
    // ACTION at the title's second poll (frame 12) starts the game and stays
    // held into it; game frame n is frame 12 + n.
    const auto ten = run_program(12 + 12, tape_buttons("12 ACTION\n23 -"));
    EXPECT_EQ(game_frame(ten, 12, 1).game.chopper_y, 108);
    EXPECT_EQ(game_frame(ten, 12, 1).game.momentum, -1);
    EXPECT_EQ(game_frame(ten, 12, 10).game.chopper_y, 109 - 23);
    EXPECT_EQ(game_frame(ten, 12, 10).game.vertical_speed, -4);
    // The 20th frame of holding hits the roof; that frame still moves it.
    const auto twenty = run_program(12 + 20, tape_buttons("12 ACTION"));
    EXPECT_EQ(game_frame(twenty, 12, 20).game.chopper_y, 109 - 95);
    EXPECT_EQ(game_frame(twenty, 12, 20).game.vertical_speed, -10);
}

TEST(Flight, SinkingFastThenHoldingKeepsSinkingForTwentyFrames) {
    GameState s = new_game(MODE_NORMAL, 0);
    s.momentum = 20;
    g_key_state[BUTTON_ACTION] = 1;
    std::vector<std::int32_t> moves;
    for (int i = 0; i < 21; ++i) {
        const std::int32_t before = s.chopper_y;
        steer_chopper(&s);
        move_chopper(&s);
        moves.push_back(s.chopper_y - before);
    }
    g_key_state[BUTTON_ACTION] = 0;
    EXPECT_EQ(moves, (std::vector<std::int32_t>{9, 9, 8, 7, 7, 6, 6, 5, 5, 4, 4, 3, 3, 2, 2, 2, 1, 1, 1, 1, -1}));
}

}  // namespace
