// The desktop game's parts that need no window: the 60 Hz refresh clock,
// controllers plugged in and pulled out while it runs, and the frame's fit on
// a handheld's screen. Its command line, key map and recording are played
// end to end under Xvfb (e2e/desktop_test.sh) and by the bad-input table.
#include <gtest/gtest.h>

#include <SDL.h>

#include <tuple>

#include "platform/buttons.h"
#include "ports/desktop/input.h"
#include "ports/desktop/score_file.h"
#include "ports/desktop/video.h"

TEST(RefreshClock, SixHundredRefreshesAreTenSecondsExactlyAndLateFramesAreShownLate) {
    RefreshClock clock;
    const std::int64_t start = 5 * NS_PER_SECOND + 123;
    refresh_clock_start(&clock, start);
    std::int64_t now = start, previous = start;
    for (int i = 1; i <= 600; ++i) {
        const std::int64_t due = refresh_clock_next(&clock, now + 1000);  // a frame's work: 1 us
        const std::int64_t step = due - previous;
        EXPECT_TRUE(step == 16666666 || step == 16666667) << "refresh " << i << " came after " << step << " ns";
        previous = now = due;  // slept until it
    }
    EXPECT_EQ(now - start, 10 * NS_PER_SECOND);
    // An hour later the deadlines are still on the grid.
    for (int i = 0; i < 60 * 60 * 60 - 600; ++i) now = refresh_clock_next(&clock, now);
    EXPECT_EQ(now - start, 3600 * NS_PER_SECOND);
    // Late frames are shown late, and only a long stall restarts the clock.
    refresh_clock_start(&clock, 0);
    const std::int64_t period = NS_PER_SECOND / REFRESH_HZ;
    // Half a period late: no sleep, and the following refresh keeps its time.
    const std::int64_t first = refresh_clock_next(&clock, period + period / 2);
    EXPECT_EQ(first, 16666666);
    EXPECT_EQ(refresh_clock_next(&clock, first + period / 2 + 1000), 33333333);
    // Exactly MAX_LATE_NS late still catches up.
    EXPECT_EQ(refresh_clock_next(&clock, 50000000 + MAX_LATE_NS), 50000000);
    // A stall of a second: the clock starts again from now instead of rushing
    // sixty refreshes through.
    const std::int64_t stalled = 2 * NS_PER_SECOND;
    EXPECT_EQ(refresh_clock_next(&clock, stalled), stalled);
    EXPECT_EQ(refresh_clock_next(&clock, stalled + 1000), stalled + 16666666);
}

// Two games at once: a game keeps the best the other kept meanwhile, and a
// score below it is no NEW BEST.
TEST(ScoreFile, TwoRunningGamesKeepEachOthersBests) {
    const std::string path = BURROW_TEST_OUT "/two-games/best-scores.txt";  // holds 50 after a run, as after B's save
    ScoreFile a, b;
    BestScores ta, tb;
    std::string note;
    score_file_open(&a, path, &ta, &note);
    score_file_open(&b, path, &tb, &note);
    tb.score[1][2] = 50;  // B keeps COIN FAST 50; then A, not knowing, COIN FAST 40
    score_file_save(&b, &tb, 1, 2, &note);
    ta.score[1][2] = 40;
    EXPECT_FALSE(score_file_save(&a, &ta, 1, 2, &note)) << "40 shown as a new best over 50";
    EXPECT_TRUE(score_file_read(path, &tb, &note) && tb.score[1][2] == 50) << "B's best was lost: " << note;
}

// A controller plugged in while the game runs is read from the next poll on,
// and one pulled out leaves no button held. SDL's virtual pad needs no display.
TEST(Controllers, PluggedInAndPulledOut) {
    ASSERT_EQ(SDL_Init(SDL_INIT_GAMECONTROLLER), 0) << SDL_GetError();
    input_start();
    const int device = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, 6, SDL_CONTROLLER_BUTTON_MAX, 0);
    ASSERT_GE(device, 0) << SDL_GetError();
    input_pump();
    SDL_Joystick* pad = SDL_JoystickFromInstanceID(SDL_JoystickGetDeviceInstanceID(device));
    ASSERT_NE(pad, nullptr) << "the new controller was not opened";
    EXPECT_EQ(input_held_word(), 0u);
    // A virtual game controller's buttons are numbered as SDL's controller buttons.
    SDL_JoystickSetVirtualButton(pad, SDL_CONTROLLER_BUTTON_DPAD_RIGHT, 1);
    SDL_JoystickSetVirtualButton(pad, SDL_CONTROLLER_BUTTON_A, 1);
    SDL_JoystickSetVirtualButton(pad, SDL_CONTROLLER_BUTTON_START, 1);
    EXPECT_FALSE(input_pump().quit) << "start alone quit";
    EXPECT_EQ(input_held_word(), (1u << BUTTON_RIGHT) | (1u << BUTTON_ACTION));
    SDL_JoystickSetVirtualButton(pad, SDL_CONTROLLER_BUTTON_BACK, 1);
    EXPECT_TRUE(input_pump().quit) << "select + start did not quit";
    SDL_JoystickDetachVirtual(device);
    input_pump();
    EXPECT_EQ(input_held_word(), 0u);
    input_stop();
    SDL_Quit();
}

// Handheld screens: the largest whole scale that fits, centred.
TEST(FrameFit, HandheldScreens) {
    const struct {
        int width, height, scale, x, y;
    } screens[] = {{640, 480, 2, 0, 0}, {720, 720, 2, 40, 120}, {480, 320, 1, 80, 40}, {1280, 720, 3, 160, 0}};
    for (const auto& s : screens) {
        const FrameFit f = fit_frame(s.width, s.height);
        EXPECT_EQ(std::tie(f.scale, f.x, f.y), std::tie(s.scale, s.x, s.y)) << s.width << "x" << s.height;
        EXPECT_EQ(f.width * 3, f.height * 4);
    }
    // The status line's 16 rows go beneath, centred with the frame, unless
    // they would cost the frame its x2 on a 640 x 480 screen.
    const FrameFit below = fit_frame(960, 800, STATUS_ROWS), dropped = fit_frame(640, 480, STATUS_ROWS);
    EXPECT_EQ(std::tie(below.scale, below.y, below.rows_below), std::make_tuple(3, 16, true));
    EXPECT_EQ(std::tie(dropped.scale, dropped.y, dropped.rows_below), std::make_tuple(2, 0, false));
}
