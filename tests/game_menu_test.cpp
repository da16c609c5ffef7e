// The title screen's menu: when it reads the buttons, how a held button
// repeats, what several buttons at once do, and the first poll after power-on.
// Where each choice leads is fixed by the golden runs.
#include <gtest/gtest.h>

#include <algorithm>

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

using Frames = std::vector<std::uint64_t>;

TEST(MenuTiming, FirstPollInFrameElevenThenRepeatEveryFiveAndBlockedMovesSetNoDelay) {
    const struct {
        const char* tape;
        std::uint64_t last;
        Frames polls;
    } cases[] = {
        {"1 -", 20, {11, 12, 13, 14, 15, 16, 17, 18, 19, 20}},     // nothing moves: every frame
        {"12 UP", 26, {11, 12, 17, 22, 23, 24, 25, 26}},           // rows 1, 0, then the top blocks
        {"12 UP\n13 RIGHT", 35, {11, 12, 17, 22, 27, 32, 33, 34, 35}},  // speeds 1-3, then blocked
        {"12 UP\n13 LEFT", 22, {11, 12, 17, 18, 19, 20, 21, 22}},        // blocked at the lowest speed
        {"12 UP\n21 LEFT,RIGHT", 30, {11, 12, 17, 22, 27}},  // on mode 0 the pair moves nothing yet counts
    };
    for (const auto& c : cases)
        EXPECT_EQ(poll_frames(run_program(c.last, tape_buttons(c.tape)), c.last), c.polls) << c.tape;
}

// One title field in chosen frames of a run from power-on.
void expect_title(const char* tape, std::int32_t TitleState::*field, std::vector<std::pair<std::uint64_t, int>> want) {
    const auto run = run_program(want.back().first, tape_buttons(tape));
    for (auto [frame, value] : want) EXPECT_EQ(at(run, frame).title.*field, value) << tape << ", frame " << frame;
}

TEST(MenuButtonsTogether, ApplyInTheirFixedOrder) {
    // Right before left: from mode 0 the pair changes nothing (and counts as
    // two moves, as the poll frames above show).
    expect_title("12 UP\n21 LEFT,RIGHT", &TitleState::mode, {{22, 0}});
    // At mode 2 right is blocked and left brings it to 1, where the pair again leaves it.
    expect_title("12 UP\n21 RIGHT\n23 -\n28 RIGHT\n29 -\n31 LEFT,RIGHT", &TitleState::mode,
                 {{28, 2}, {33, 1}, {38, 1}});
    // Down comes before up: on the start row it is blocked and up moves. Down
    // moves the row before right raises the speed or action starts.
    expect_title("12 UP,DOWN", &TitleState::row, {{12, ROW_SPEED}});
    expect_title("12 UP\n21 DOWN,RIGHT", &TitleState::speed, {{22, 1}});
    expect_title("12 UP\n13 -\n17 DOWN,ACTION", &TitleState::done, {{17, 1}});
    // Action off the start row does nothing.
    expect_title("12 UP\n13 ACTION", &TitleState::row, {{60, ROW_SPEED}});
}

// The number of the first game frame of a run, or 0.
std::size_t first_game_frame(const std::vector<FrameRecord>& run) {
    const auto game = std::find_if(run.begin(), run.end(), [](const FrameRecord& r) { return r.in_game; });
    return game == run.end() ? 0 : static_cast<std::size_t>(game - run.begin()) + 1;
}

TEST(FirstPollRule, ActionHeldFromStartUpCountsOnlyOncePressedAgain) {
    EXPECT_EQ(first_game_frame(run_program(300, tape_buttons("1 ACTION"))), 0u);
    EXPECT_EQ(first_game_frame(run_program(60, tape_buttons("1 ACTION\n40 -\n50 ACTION"))), 51u);
}

}  // namespace
