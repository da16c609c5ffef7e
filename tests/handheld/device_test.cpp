// The handheld binary on the emulated handheld, built for the host and for
// ARM (run under qemu-arm as an ARM926): a good start is silent and shows
// what burrowrotor-headless shows, frame for frame; every way the display can
// be missing stops it with the exact lines on stderr, status 1, and not one
// write into the buffers or the registers. A stand-in binary, the probe, shows
// the emulated handheld itself and a start without a button device.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>

#include "platform/display.h"
#include "ports/common/frame_hash.h"
#include "runner_process.h"
#include "tests/handheld/probe_frame.h"
#include "tools/handheld-emu/emulator.h"

namespace {

// Runs the emulator; skips the test (with the reason) where mount namespaces
// are refused.
#define RUN_OR_SKIP(result, config)                                                  \
    const EmulatorResult result = run_emulated_handheld(config);                     \
    if (result.outcome == EmulatorOutcome::namespace_refused) GTEST_SKIP() << result.message

using Command = std::vector<std::string>;
const Command HOST = {BURROW_HANDHELD_BIN};
const Command ARM = {"qemu-arm", "-cpu", "arm926", BURROW_ARM_HANDHELD_BIN};

EmulatorConfig handheld(const Command& command) {
    EmulatorConfig config;
    config.command = command;
    config.flip_timeout = 5.0;
    return config;
}

// Button words as the device's bytes.
std::vector<unsigned char> tape_bytes(const std::vector<std::uint32_t>& words) {
    std::vector<unsigned char> bytes;
    for (std::uint32_t w : words)
        for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<unsigned char>(w >> (8 * i)));
    return bytes;
}

struct StartFailure {
    const char* name;
    DeviceShape shape[DEVICE_COUNT];  // GPIO, mem, fb0, fb1
    const char* stderr_text;
};

#define B0 "burrowrotor: cannot map display buffer 0 (/dev/fb0): "
#define B1 "burrowrotor: cannot map display buffer 1 (/dev/fb1): "
#define REGS "burrowrotor: cannot map the display registers (/dev/mem): "
#define NOENT "No such file or directory\n"
#define SHORT_FB "too short to map (153598 bytes, the mapping ends at 153600)\n"
#define SHORT_MEM "too short to map (3221258240 bytes, the mapping ends at 3221291008)\n"

const DeviceShape OK = DeviceShape::present, GONE = DeviceShape::missing, SHORT = DeviceShape::too_short,
                  REFUSE = DeviceShape::refuses_mapping;

// One line per failed mapping, with its reason, and nothing more: each
// mapping failing alone, and several failing at once.
const StartFailure START_FAILURES[] = {
    {"fb0 too short", {OK, OK, SHORT, OK}, B0 SHORT_FB},
    {"fb1 refuses mapping", {OK, OK, OK, REFUSE}, B1 "No such device\n"},
    {"register file too short", {OK, SHORT, OK, OK}, REGS SHORT_MEM},
    {"both buffers", {OK, OK, SHORT, GONE}, B0 SHORT_FB B1 NOENT},
    {"nothing at all", {GONE, GONE, GONE, GONE}, REGS NOENT B0 NOENT B1 NOENT},
};

void expect_start_failures(const Command& command) {
    for (const StartFailure& f : START_FAILURES) {
        EmulatorConfig config = handheld(command);
        std::copy(f.shape, f.shape + DEVICE_COUNT, config.shape);
        config.frames = 2;  // a start that should have stopped is cut short, and fails
        RUN_OR_SKIP(r, config);
        ASSERT_EQ(r.outcome, EmulatorOutcome::binary_exited) << f.name << ": " << r.message;
        EXPECT_EQ(r.exit_status, 1) << f.name;
        EXPECT_EQ(r.binary_stderr, f.stderr_text) << f.name;
        EXPECT_EQ(r.binary_stdout, "") << f.name;
        EXPECT_FALSE(r.buffer_written[0] || r.buffer_written[1] || r.registers_written)
            << f.name << ": written: fb0 " << r.buffer_written[0] << ", fb1 " << r.buffer_written[1] << ", registers "
            << r.registers_written;
    }
}

TEST(HandheldStartUp, EveryMissingPartOfTheDisplayStopsItBeforeAnyWrite) { expect_start_failures(HOST); }

// The ARM build reaches the register block at 3 GiB only with 64-bit file
// offsets; its start-up must fail exactly as the host build's does.
TEST(HandheldStartUp, ArmBuildStopsBeforeAnyWriteJustAsTheHostBuild) { expect_start_failures(ARM); }

// One button word per poll: a game in every mode and at every speed, each
// ending in a crash, with the menu walked between them. ACTION is held at
// the very first poll, where it must not count (the handheld's key table
// starts from its initial values, not from a reset). Games climb on the
// action button held over from "LET'S GO!", sink, and weave; a weave that
// outlasts its game presses "LET'S GO!" again, so later games start at once.
std::vector<std::uint32_t> demo_tape_words() {
    constexpr std::uint32_t U = 1u << 0, L = 1u << 2, D = 1u << 4, R = 1u << 6, A = 1u << 12;
    std::vector<std::uint32_t> w;
    auto add = [&w](std::initializer_list<std::uint32_t> words) { w.insert(w.end(), words); };
    auto hold = [&w](std::uint32_t word, int polls) { w.insert(w.end(), static_cast<std::size_t>(polls), word); };
    auto weave = [&hold](int held, int released, int times) {
        for (int t = 0; t < times; ++t) hold(A, held), hold(0, released);
    };
    add({A, 0, A});  // NORMAL, SLOW
    hold(A, 10);
    hold(0, 120);
    add({U, 0, R, 0, U, 0, R, 0, D, 0, D, 0, A});  // COIN, MEDIUM
    hold(0, 120);
    add({U, 0, U, 0, R, 0, D, 0, R, 0, D, 0, A});  // MOVING, FAST
    hold(0, 120);
    add({U, 0, U, 0, L, 0, L, 0, D, 0, R, 0, D, 0, A});  // NORMAL, MADNESS!
    weave(6, 9, 40);
    hold(0, 120);
    add({U, 0, U, 0, R, 0, D, 0, L, 0, L, 0, L, 0, D, 0, A});  // COIN, SLOW
    weave(5, 7, 60);
    hold(0, 60);
    return w;
}

// The fingerprints burrowrotor-headless shows for the demo tape, read back
// from its trace; once per test run.
const std::vector<std::uint64_t>& demo_expected() {
    static const std::vector<std::uint64_t> hashes = [] {
        const std::string dir = fresh_output_dir("handheld-" + std::to_string(getpid()));
        const std::vector<unsigned char> tape = tape_bytes(demo_tape_words());
        std::ofstream(dir + "/demo.polls", std::ios::binary)
            .write(reinterpret_cast<const char*>(tape.data()), static_cast<std::streamsize>(tape.size()));
        const std::string arguments = "--frames 3000 --poll-tape '" + dir + "/demo.polls' --trace '" + dir + "/trace.jsonl'";
        return run_runner(arguments) == 0 ? trace_hashes(dir + "/trace.jsonl") : std::vector<std::uint64_t>{};
    }();
    return hashes;
}

// 3,000 frames of the demo tape: the same pixels as the headless runner,
// frame for frame, and not a word on stdout or stderr.
void expect_demo_matches_headless(const Command& command) {
    ASSERT_EQ(demo_expected().size(), 3000u) << "the headless runner failed";
    EmulatorConfig config = handheld(command);
    config.tape = tape_bytes(demo_tape_words());
    config.frames = 3000;
    RUN_OR_SKIP(r, config);
    ASSERT_EQ(r.outcome, EmulatorOutcome::frames_shown) << r.message;
    EXPECT_EQ(r.binary_stdout + r.binary_stderr, "");
    std::vector<std::uint64_t> shown;
    for (const ShownFrame& f : r.frames) shown.push_back(f.hash);
    const long at = std::mismatch(shown.begin(), shown.end(), demo_expected().begin()).first - shown.begin();
    EXPECT_EQ(at, 3000) << "the handheld shows other pixels than the headless runner from frame " << at + 1
                        << " on; compare its frames (burrowrotor-handheld-emu --png) with burrowrotor-headless --png";
    // The same check that finds no write after a failed start-up sees these.
    EXPECT_TRUE(r.buffer_written[0] && r.buffer_written[1] && r.registers_written);
}

TEST(HandheldDemo, HostBuildShowsWhatTheHeadlessRunnerShows) { expect_demo_matches_headless(HOST); }

TEST(HandheldDemo, ArmBuildUnderQemuShowsWhatTheHeadlessRunnerShows) { expect_demo_matches_headless(ARM); }

// The probe starts up as the game does, then shows frame i filled with i and
// the button word it polled in pixels 0-1, and exits. The emulated handheld
// must capture each flipped buffer as drawn, in turn from /dev/fb0 and
// /dev/fb1, each in a later refresh, the last one before the binary exits
// included, and play one tape word per poll; past the end of the tape, and
// with the button device missing or unreadable, a read delivers nothing and
// the word stays. A start without a button device is silent.
TEST(EmulatedHandheld, ShowsEachFlippedBufferAsDrawnAndPlaysTheTapeOneWordPerPoll) {
    const std::vector<std::uint32_t> words = {0x00000000, 0x00001000, 0xFFFFFFFF, 0x00000011, 0x12345678};
    for (DeviceShape gpio : {DeviceShape::present, DeviceShape::missing, DeviceShape::unreadable}) {
        EmulatorConfig config = handheld({BURROW_PROBE_BIN, "8"});
        config.shape[DEVICE_GPIO] = gpio;
        config.tape = tape_bytes(words);
        RUN_OR_SKIP(r, config);
        ASSERT_EQ(r.outcome, EmulatorOutcome::binary_exited) << r.message;
        EXPECT_EQ(r.exit_status, 0);
        EXPECT_EQ(r.binary_stderr + r.binary_stdout, "");
        ASSERT_EQ(r.frames.size(), 8u) << r.message;
        static FrameSurface drawn;
        for (std::size_t i = 0; i < r.frames.size(); ++i) {
            const std::uint32_t word = gpio == DeviceShape::present ? words[std::min(i, words.size() - 1)] : 0;
            fill_probe_frame(&drawn, static_cast<std::uint16_t>(i + 1), word);
            EXPECT_EQ(r.frames[i].buffer, static_cast<int>(i % 2)) << "frame " << i + 1;
            EXPECT_EQ(r.frames[i].hash, frame_hash(&drawn)) << "frame " << i + 1 << " not as drawn";
            if (i > 0) {
                EXPECT_GT(r.frames[i].refresh, r.frames[i - 1].refresh) << "frame " << i + 1;
            }
        }
    }
}

}  // namespace
