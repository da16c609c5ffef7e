// The title screen's menu: when it reads the buttons, how a held button
// repeats, what several buttons at once do, and the three kinds of result.
#include <gtest/gtest.h>

#include "autopilot/pilot.h"
#include "game/view.h"
#include "game_harness.h"

namespace {

const FrameRecord& at(const std::vector<FrameRecord>& run, std::uint64_t frame) { return run.at(frame - 1); }

// Frames (between first and last) in which the title screen read the buttons.
std::vector<std::uint64_t> poll_frames(const std::vector<FrameRecord>& run, std::uint64_t last) {
    std::vector<std::uint64_t> frames;
    std::uint64_t before = 0;
    for (std::uint64_t f = 1; f <= last; ++f) {
        if (at(run, f).polls != before) frames.push_back(f);
        before = at(run, f).polls;
    }
    return frames;
}

TEST(MenuTiming, FirstPollInFrameElevenThenEveryFrameWhileNothingMoves) {
    const auto run = run_program(20, tape_buttons("1 -"));
    EXPECT_EQ(poll_frames(run, 20), (std::vector<std::uint64_t>{11, 12, 13, 14, 15, 16, 17, 18, 19, 20}));
    EXPECT_EQ(at(run, 1).title.input_delay, 10);
}

TEST(MenuTiming, HeldButtonRepeatsEveryFiveFramesAndABlockedMoveSetsNoDelay) {
    // UP held from frame 12: row 1 at once, row 0 five frames later, then the
    // top row blocks it and the buttons are read in every frame.
    const auto run = run_program(26, tape_buttons("12 UP"));
    EXPECT_EQ(poll_frames(run, 26), (std::vector<std::uint64_t>{11, 12, 17, 22, 23, 24, 25, 26}));
    EXPECT_EQ(at(run, 11).title.row, ROW_START);
    EXPECT_EQ(at(run, 12).title.row, ROW_SPEED);
    EXPECT_EQ(at(run, 16).title.row, ROW_SPEED);
    EXPECT_EQ(at(run, 17).title.row, ROW_MODE);
    EXPECT_EQ(at(run, 26).title.row, ROW_MODE);
}

TEST(MenuTiming, RightOnTheSpeedRowStepsToMadnessAndStays) {
    const auto run = run_program(40, tape_buttons("12 UP\n13 RIGHT"));
    EXPECT_EQ(at(run, 16).title.speed, 0);
    EXPECT_EQ(at(run, 17).title.speed, 1);
    EXPECT_EQ(at(run, 22).title.speed, 2);
    EXPECT_EQ(at(run, 27).title.speed, 3);
    EXPECT_EQ(at(run, 40).title.speed, 3);
    EXPECT_EQ(poll_frames(run, 35), (std::vector<std::uint64_t>{11, 12, 17, 22, 27, 32, 33, 34, 35}));
}

TEST(MenuTiming, LeftAtTheLowestSpeedIsBlockedAndPolledEveryFrame) {
    const auto run = run_program(22, tape_buttons("12 UP\n13 LEFT"));
    EXPECT_EQ(poll_frames(run, 22), (std::vector<std::uint64_t>{11, 12, 17, 18, 19, 20, 21, 22}));
    EXPECT_EQ(at(run, 22).title.speed, 0);
}

TEST(MenuButtonsTogether, RightAndLeftOnTheModeRowApplyRightFirst) {
    // Row 0 from frame 17; from mode 0 the pair changes nothing but still
    // counts as two moves, so the next poll is five frames later.
    const auto zero = run_program(30, tape_buttons("12 UP\n21 LEFT,RIGHT"));
    EXPECT_EQ(at(zero, 22).title.mode, 0);
    EXPECT_EQ(at(zero, 22).title.input_delay, 5);
    EXPECT_EQ(poll_frames(zero, 30), (std::vector<std::uint64_t>{11, 12, 17, 22, 27}));
    // To mode 2, then the pair: right is blocked and left brings it to 1,
    // where the pair again leaves it.
    const auto two = run_program(40, tape_buttons("12 UP\n21 RIGHT\n23 -\n28 RIGHT\n29 -\n31 LEFT,RIGHT"));
    EXPECT_EQ(at(two, 28).title.mode, 2);
    EXPECT_EQ(at(two, 33).title.mode, 1);
    EXPECT_EQ(at(two, 38).title.mode, 1);
}

TEST(MenuButtonsTogether, DownAndRightOnTheModeRowRaiseTheSpeed) {
    const auto run = run_program(23, tape_buttons("12 UP\n21 DOWN,RIGHT"));
    EXPECT_EQ(at(run, 22).title.row, ROW_SPEED);
    EXPECT_EQ(at(run, 22).title.speed, 1);
    EXPECT_EQ(at(run, 22).title.mode, 0);
}

TEST(MenuButtonsTogether, DownAndActionOnTheSpeedRowStartAtOnce) {
    const auto run = run_program(20, tape_buttons("12 UP\n13 -\n17 DOWN,ACTION"));
    EXPECT_FALSE(at(run, 17).in_game);
    EXPECT_EQ(at(run, 17).title.done, 1);
    EXPECT_TRUE(at(run, 18).in_game);
}

TEST(MenuButtonsTogether, ActionOffTheStartRowDoesNothing) {
    const auto run = run_program(60, tape_buttons("12 UP\n13 ACTION"));
    EXPECT_EQ(find_frame(run, [](const FrameRecord& r) { return r.in_game; }), -1);
    EXPECT_EQ(at(run, 60).title.row, ROW_SPEED);
}

// The menu's result reaches the game: mode * 10 + speed level.
void expect_result(std::int32_t mode, std::int32_t speed, std::int32_t code, std::int32_t step) {
    RunOptions options;
    options.stop = [](const std::vector<FrameRecord>& r) { return r.back().in_game; };
    const auto walk = [mode, speed](std::uint64_t, std::uint64_t poll) {
        return g_title_view ? Pilot::menu_word(*g_title_view, mode, speed, poll) : 0u;
    };
    const auto played = run_program(200, walk, options);
    ASSERT_TRUE(played.back().in_game) << "the menu never started a game";
    const FrameRecord& first = played.back();
    EXPECT_EQ(first.last_mode * 10 + first.last_speed, code);
    EXPECT_EQ(first.game.mode, mode);
    EXPECT_EQ(first.game.scroll_step, step);
    EXPECT_EQ(first.game.frame_count, 1);
}

TEST(MenuResults, NormalSlowIsZeroCoinFastTwelveMovingMadnessTwentyThree) {
    expect_result(MODE_NORMAL, 0, 0, 1);
    expect_result(MODE_COIN, 2, 12, 5);
    expect_result(MODE_MOVING, 3, 23, 10);
}

TEST(FirstPollRule, ActionHeldFromStartUpCountsOnlyOncePressedAgain) {
    const auto held = run_program(300, tape_buttons("1 ACTION"));
    EXPECT_EQ(find_frame(held, [](const FrameRecord& r) { return r.in_game; }), -1);

    const auto again = run_program(60, tape_buttons("1 ACTION\n40 -\n50 ACTION"));
    EXPECT_EQ(find_frame(again, [](const FrameRecord& r) { return r.in_game; }), 50);  // frame 51
}

TEST(FirstPollRule, ActionHeldIntoANewTitleScreenIsIgnoredForTenFrames) {
    // COIN at FAST, then ACTION held for good: the chopper climbs into the
    // roof, and the next title screen starts the same game at its first poll.
    RunOptions options;
    int games = 0;
    options.stop = [&games](const std::vector<FrameRecord>& r) {
        if (r.back().in_game && r.back().game.frame_count == 1) ++games;
        return games == 2;
    };
    bool played = false;
    const auto buttons = [&played](std::uint64_t, std::uint64_t poll) -> std::uint32_t {
        if (g_game_view) played = true;
        if (!played && g_title_view) return Pilot::menu_word(*g_title_view, MODE_COIN, 2, poll);
        return 1u << 12;
    };
    const auto run = run_program(2000, buttons, options);
    const long first_game = find_frame(run, [](const FrameRecord& r) { return r.in_game; });
    ASSERT_GE(first_game, 0);
    long back = -1;
    for (std::size_t i = static_cast<std::size_t>(first_game); i < run.size(); ++i)
        if (!run[i].in_game) {
            back = static_cast<long>(i);
            break;
        }
    ASSERT_GE(back, 0) << "the first game did not end";
    const auto b = static_cast<std::size_t>(back);
    for (std::size_t i = b; i < b + 10; ++i) {
        EXPECT_FALSE(run.at(i).in_game);
        EXPECT_EQ(run.at(i).polls, run.at(b - 1).polls) << "title frame " << i - b + 1 << " read the buttons";
    }
    EXPECT_EQ(run.at(b + 10).title.done, 1);
    ASSERT_TRUE(run.at(b + 11).in_game);
    EXPECT_EQ(run.at(b + 11).game.mode, MODE_COIN);
    EXPECT_EQ(run.at(b + 11).game.scroll_step, 5);
}

}  // namespace
