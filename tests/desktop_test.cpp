// The desktop game's parts that need no window: its command line, the 60 Hz
// refresh clock, the key map, controllers and the recording of what the game read.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/buttons.h"
#include "ports/common/tape.h"
#include "ports/desktop/frame_fit.h"
#include "ports/desktop/input.h"
#include "ports/desktop/keymap.h"
#include "ports/desktop/options.h"
#include "ports/desktop/refresh_clock.h"
#include "ports/desktop/session.h"

namespace {

bool parse(std::vector<const char*> args, DesktopOptions* o, std::string* error) {
    args.insert(args.begin(), "burrowrotor");
    return parse_desktop_args(static_cast<int>(args.size()), args.data(), o, error);
}

std::string parse_error(std::vector<const char*> args) {
    DesktopOptions o;
    std::string error;
    EXPECT_FALSE(parse(args, &o, &error)) << "accepted a bad command line";
    return error;
}

}  // namespace

TEST(DesktopOptions, DefaultsAndEveryFlag) {
    DesktopOptions o;
    std::string error;
    ASSERT_TRUE(parse({}, &o, &error)) << error;
    EXPECT_EQ(o.scale, 3);
    EXPECT_FALSE(o.fullscreen);
    EXPECT_EQ(o.frames, 0u);

    DesktopOptions all;
    ASSERT_TRUE(parse({"--scale", "5", "--fullscreen", "--show-fps", "--record", "r.tape", "--replay", "p.tape",
                       "--trace", "t.jsonl", "--png", "out", "--from", "7", "--every", "3", "--frames", "600"},
                      &all, &error))
        << error;
    EXPECT_EQ(all.scale, 5);
    EXPECT_TRUE(all.fullscreen);
    EXPECT_TRUE(all.show_fps);
    EXPECT_EQ(all.record, "r.tape");
    EXPECT_EQ(all.replay, "p.tape");
    EXPECT_EQ(all.trace, "t.jsonl");
    EXPECT_EQ(all.dump.png_dir, "out");
    EXPECT_EQ(all.dump.from, 7u);
    EXPECT_EQ(all.dump.every, 3u);
    EXPECT_EQ(all.frames, 600u);

    DesktopOptions help;
    ASSERT_TRUE(parse({"--help", "--no-such-flag"}, &help, &error));
    EXPECT_TRUE(help.help);
    DesktopOptions version;
    ASSERT_TRUE(parse({"--version"}, &version, &error));
    EXPECT_TRUE(version.version);
}

TEST(DesktopOptions, MistakesAreNamed) {
    EXPECT_EQ(parse_error({"--bogus"}), "unknown option '--bogus' (see --help)");
    EXPECT_EQ(parse_error({"--record"}), "--record needs a value");
    EXPECT_EQ(parse_error({"--scale", "0"}), "--scale needs a whole number from 1 to 16, got '0'");
    EXPECT_EQ(parse_error({"--scale", "17"}), "--scale needs a whole number from 1 to 16, got '17'");
    EXPECT_EQ(parse_error({"--scale", "2x"}), "--scale needs a whole number from 1 to 16, got '2x'");
    EXPECT_EQ(parse_error({"--scale", "99999999999999999999999"}).substr(0, 26), "--scale needs a whole numb");
    EXPECT_EQ(parse_error({"--frames", ""}), "--frames needs a whole number from 1 to 10^12, got ''");
    EXPECT_EQ(parse_error({"--trace", ""}), "--trace needs a path, got an empty value");
    EXPECT_EQ(parse_error({"--png", "a", "--png", "b"}), "--png given twice");
}

TEST(RefreshClock, SixHundredRefreshesAreTenSecondsExactly) {
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
}

TEST(RefreshClock, LateFramesAreShownLateAndOnlyALongStallRestartsTheClock) {
    RefreshClock clock;
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

TEST(KeyMap, ArrowsActionKeysMouseAndController) {
    std::uint8_t keys[SDL_NUM_SCANCODES] = {};
    EXPECT_EQ(keyboard_word(keys, SDL_NUM_SCANCODES), 0u);
    const struct {
        SDL_Scancode key;
        std::uint32_t word;
    } cases[] = {
        {SDL_SCANCODE_UP, 1u << BUTTON_UP},          {SDL_SCANCODE_LEFT, 1u << BUTTON_LEFT},
        {SDL_SCANCODE_DOWN, 1u << BUTTON_DOWN},      {SDL_SCANCODE_RIGHT, 1u << BUTTON_RIGHT},
        {SDL_SCANCODE_SPACE, 1u << BUTTON_ACTION},   {SDL_SCANCODE_RETURN, 1u << BUTTON_ACTION},
        {SDL_SCANCODE_LCTRL, 1u << BUTTON_ACTION},   {SDL_SCANCODE_ESCAPE, 0u},
        {SDL_SCANCODE_F11, 0u},                      {SDL_SCANCODE_RCTRL, 0u},
        {SDL_SCANCODE_A, 0u},
    };
    for (const auto& c : cases) {
        keys[c.key] = 1;
        EXPECT_EQ(keyboard_word(keys, SDL_NUM_SCANCODES), c.word) << SDL_GetScancodeName(c.key);
        keys[c.key] = 0;
    }
    keys[SDL_SCANCODE_UP] = keys[SDL_SCANCODE_SPACE] = keys[SDL_SCANCODE_RETURN] = 1;
    EXPECT_EQ(keyboard_word(keys, SDL_NUM_SCANCODES), (1u << BUTTON_UP) | (1u << BUTTON_ACTION));
    // A state array shorter than the bindings is not read past its end.
    EXPECT_EQ(keyboard_word(keys, SDL_SCANCODE_RETURN), 0u);

    EXPECT_EQ(mouse_word(SDL_BUTTON_LMASK), 1u << BUTTON_ACTION);
    EXPECT_EQ(mouse_word(SDL_BUTTON_RMASK | SDL_BUTTON_MMASK), 0u);

    EXPECT_EQ(controller_button_word(SDL_CONTROLLER_BUTTON_DPAD_UP), 1u << BUTTON_UP);
    EXPECT_EQ(controller_button_word(SDL_CONTROLLER_BUTTON_DPAD_LEFT), 1u << BUTTON_LEFT);
    EXPECT_EQ(controller_button_word(SDL_CONTROLLER_BUTTON_DPAD_DOWN), 1u << BUTTON_DOWN);
    EXPECT_EQ(controller_button_word(SDL_CONTROLLER_BUTTON_DPAD_RIGHT), 1u << BUTTON_RIGHT);
    EXPECT_EQ(controller_button_word(SDL_CONTROLLER_BUTTON_A), 1u << BUTTON_ACTION);
    EXPECT_EQ(controller_button_word(SDL_CONTROLLER_BUTTON_B), 0u);
    EXPECT_EQ(controller_button_word(SDL_CONTROLLER_BUTTON_START), 0u);
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
        EXPECT_EQ(f.scale, s.scale) << s.width << "x" << s.height;
        EXPECT_EQ(f.x, s.x) << s.width << "x" << s.height;
        EXPECT_EQ(f.y, s.y) << s.width << "x" << s.height;
        EXPECT_EQ(f.width * 3, f.height * 4);
    }
}

// The title screen polls only in some frames; a tape of the words its polls
// read must give every polled frame exactly that word when replayed.
TEST(DesktopSession, RecordingReplaysTheWordOfEveryPoll) {
    const std::string path = std::string(BURROW_TEST_OUT) + "/desktop_session.tape";
    const std::uint32_t up = 1u << BUTTON_UP, action = 1u << BUTTON_ACTION;
    const struct {
        std::uint64_t frame;
        std::uint32_t held;
    } polls[] = {{11, 0}, {12, up}, {17, up}, {18, 0}, {19, action}, {20, action}, {21, action}, {22, 0}, {400, 0}};
    {
        DesktopOptions o;
        o.record = path;
        std::string error;
        ASSERT_TRUE(session_open(o, &error)) << error;
        for (const auto& p : polls) {
            std::uint32_t word = 0xDEAD;
            ASSERT_TRUE(session_poll(p.frame, p.held, &word, &error)) << error;
            EXPECT_EQ(word, p.held);
        }
        ASSERT_TRUE(session_close(false, &error)) << error;
    }
    ButtonTape tape;
    std::string error;
    ASSERT_TRUE(load_button_tape(path.c_str(), &tape, &error)) << error;
    for (const auto& p : polls) EXPECT_EQ(tape_word_at(&tape, p.frame), p.held) << "frame " << p.frame;

    // Replaying that tape (and recording the replay) gives the polls the
    // tape's words whatever is held on the keyboard.
    DesktopOptions replay;
    replay.replay = path;
    replay.record = path + ".again";
    ASSERT_TRUE(session_open(replay, &error)) << error;
    for (const auto& p : polls) {
        std::uint32_t word = 0;
        ASSERT_TRUE(session_poll(p.frame, 1u << BUTTON_DOWN, &word, &error)) << error;
        EXPECT_EQ(word, p.held) << "frame " << p.frame;
    }
    ASSERT_TRUE(session_close(false, &error)) << error;
    std::remove(replay.record.c_str());
}
