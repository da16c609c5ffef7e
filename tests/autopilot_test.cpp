// The game can be played, not just drawn: the autopilot flies a game at SLOW
// from power-on, through the menu, for as long as it can, writing what it
// pressed as a button tape; the headless runner then replays that tape and
// must show the very same frames.
#include <gtest/gtest.h>

#include <cstdio>

#include "autopilot/pilot.h"
#include "game/view.h"
#include "game_harness.h"
#include "ports/common/tape.h"
#include "runner_process.h"

namespace {

TEST(Autopilot, FliesAtSlowWithoutCrashingAndItsTapeReplaysExactly) {
    const std::string dir = fresh_output_dir("autopilot");
    const std::string tape_path = dir + "/slow.tape";
    TapeWriter writer;
    std::string error;
    ASSERT_TRUE(tape_writer_open(&writer, tape_path.c_str(), &error)) << error;

    Pilot pilot;
    const ButtonSource buttons = [&](std::uint64_t frame, std::uint64_t poll) {
        const std::uint32_t word = g_game_view != nullptr ? pilot.game_word(*g_game_view)
                                                          : Pilot::menu_word(*g_title_view, MODE_NORMAL, 0, poll);
        tape_writer_record(&writer, frame, word);
        return word;
    };
    RunOptions options;
    options.hashes = true;
    bool played = false;
    options.stop = [&played](const std::vector<FrameRecord>& run) {
        played = played || run.back().in_game;
        return played && !run.back().in_game;  // the title screen after the crash
    };
    const auto run = run_program(40000, buttons, options);
    ASSERT_TRUE(tape_writer_close(&writer));

    const long first = find_frame(run, [](const FrameRecord& r) { return r.in_game; });
    ASSERT_GE(first, 0);
    const FrameRecord& last_game = run[run.size() - 2];
    ASSERT_TRUE(last_game.in_game);
    const std::int32_t flown = last_game.game.frame_count;
    std::printf("autopilot at SLOW: %d game frames (crashed: %d, cornered %llu times), score %d\n", flown,
                last_game.game.crashed, static_cast<unsigned long long>(pilot.cornered), last_game.score);
    EXPECT_GE(flown, 3000);

    // The tape alone reproduces every frame.
    const std::string trace = dir + "/replay.jsonl";
    ASSERT_EQ(run_runner("--frames " + std::to_string(run.size()) + " --input '" + tape_path + "' --trace '" +
                         trace + "'"),
              0);
    const auto replayed = trace_hashes(trace);
    ASSERT_EQ(replayed.size(), run.size());
    for (std::size_t i = 0; i < run.size(); ++i)
        ASSERT_EQ(replayed[i], run[i].hash) << "the replay differs from frame " << i + 1 << " on";
}

}  // namespace
