// The chopper's flight and the score: climbing and sinking with inertia, the
// speed curve, and the score that grows with the distance flown.
#include <gtest/gtest.h>

#include <string>

#include "autopilot/pilot.h"
#include "game/view.h"
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

// A game at `speed` that the pilot flies for `fly` frames and then lets sink.
std::vector<FrameRecord> play(std::int32_t mode, std::int32_t speed, std::int32_t fly, Pilot* pilot) {
    return play_one_game(mode, speed, [&](const GameState& g) { return g.frame_count <= fly ? pilot->game_word(g) : 0u; });
}

TEST(Score, GrowsByTheStepEachFrameAndTheLineShowsItBeforeTheFramesOwnStep) {
    for (std::int32_t speed = 0; speed < 4; ++speed) {
        Pilot pilot;
        const auto run = play(MODE_NORMAL, speed, 400, &pilot);
        const std::int32_t step = SCROLL_STEPS[speed];
        std::int32_t frames = 0;
        for (const FrameRecord& r : run) {
            if (!r.in_game) continue;
            ++frames;
            ASSERT_EQ(r.score, r.game.frame_count * step) << "speed " << speed;
            ASSERT_EQ(std::string(r.game.score_text), "SCORE: " + std::to_string((r.game.frame_count - 1) * step));
        }
        EXPECT_GT(frames, 400) << "speed " << speed;
        EXPECT_EQ(run.back().score, frames * step) << "the crash frame counts";
    }
}

TEST(Score, ACoinPaysFortyStepsAndTheSameFramesLineShowsIt) {
    // The pilot heads for each coin; at FAST a coin is worth 200.
    Pilot pilot;
    pilot.target = [](const GameState& g) {
        return g.coin_x > -40 && g.coin_x + 31 >= 49 ? g.coin_y + 16 : NO_TARGET;
    };
    const auto run = play(MODE_COIN, 2, 3000, &pilot);
    int coins = 0;
    for (std::size_t i = 1; i < run.size(); ++i) {
        const FrameRecord& r = run[i];
        if (!r.in_game || r.game.frame_count == 1) continue;
        const std::int32_t gained = r.score - run[i - 1].score;
        if (gained == 5) continue;
        ++coins;
        EXPECT_EQ(gained, 5 + 200);
        EXPECT_EQ(r.game.coin_x, -40);
        EXPECT_EQ(std::string(r.game.score_text), "SCORE: " + std::to_string(r.score - 5));
    }
    EXPECT_GT(coins, 0) << "the pilot collected no coin";
    std::printf("coins collected at FAST: %d\n", coins);
}

}  // namespace
