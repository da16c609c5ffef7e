// The handheld binary on the emulated handheld: a good start is silent and
// shows the title screen from /dev/fb0 on; every way the display can be
// missing stops it with the exact lines on stderr, status 1, and not one write
// into the buffers or the registers; without a button device it runs on.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/display.h"
#include "runner_process.h"
#include "tests/handheld/handheld_support.h"

namespace {

EmulatorConfig handheld(const char* binary) {
    EmulatorConfig config;
    config.command = {binary};
    if (std::strstr(binary, "build-arm") != nullptr || std::strstr(binary, "/arm/") != nullptr)
        config.command = {"qemu-arm", "-cpu", "arm926", binary};
    config.flip_timeout = 5.0;
    return config;
}

struct StartFailure {
    const char* name;
    DeviceShape gpio, mem, fb0, fb1;
    const char* stderr_text;
};

#define B0 "burrowrotor: cannot map display buffer 0 (/dev/fb0): "
#define B1 "burrowrotor: cannot map display buffer 1 (/dev/fb1): "
#define REGS "burrowrotor: cannot map the display registers (/dev/mem): "
#define NOENT "No such file or directory\n"
#define SHORT_FB "too short to map (76800 bytes, the mapping ends at 153600)\n"
#define SHORT_MEM "too short to map (3221258240 bytes, the mapping ends at 3221291008)\n"

const DeviceShape OK = DeviceShape::present, GONE = DeviceShape::missing, SHORT = DeviceShape::too_short,
                  REFUSE = DeviceShape::refuses_mapping;

// One line per failed mapping, with its reason, and nothing more.
const StartFailure START_FAILURES[] = {
    {"mem missing", OK, GONE, OK, OK, REGS NOENT},
    {"fb0 missing", OK, OK, GONE, OK, B0 NOENT},
    {"fb1 missing", OK, OK, OK, GONE, B1 NOENT},
    {"fb0 too short", OK, OK, SHORT, OK, B0 SHORT_FB},
    {"fb1 refuses mapping", OK, OK, OK, REFUSE, B1 "No such device\n"},
    {"register file too short", OK, SHORT, OK, OK, REGS SHORT_MEM},
    {"both buffers", OK, OK, SHORT, GONE, B0 SHORT_FB B1 NOENT},
    {"nothing at all", GONE, GONE, GONE, GONE, REGS NOENT B0 NOENT B1 NOENT},
};

void expect_start_failures(const char* binary) {
    for (const StartFailure& f : START_FAILURES) {
        EmulatorConfig config = handheld(binary);
        config.shape[DEVICE_GPIO] = f.gpio;
        config.shape[DEVICE_MEM] = f.mem;
        config.shape[DEVICE_FB0] = f.fb0;
        config.shape[DEVICE_FB1] = f.fb1;
        RUN_OR_SKIP(r, config);
        ASSERT_EQ(r.outcome, EmulatorOutcome::binary_exited) << f.name << ": " << r.message;
        EXPECT_EQ(r.exit_status, 1) << f.name;
        EXPECT_EQ(r.exit_signal, 0) << f.name;
        EXPECT_EQ(r.binary_stderr, f.stderr_text) << f.name;
        EXPECT_EQ(r.binary_stdout, "") << f.name;
        EXPECT_TRUE(r.frames.empty()) << f.name;
        EXPECT_FALSE(r.buffer_written[0]) << f.name << ": fb0 was written";
        EXPECT_FALSE(r.buffer_written[1]) << f.name << ": fb1 was written";
        EXPECT_FALSE(r.registers_written) << f.name << ": a register was written";
    }
}

TEST(HandheldStartUp, EveryMissingPartOfTheDisplayStopsItBeforeAnyWrite) {
    expect_start_failures(BURROW_HANDHELD_BIN);
}

// The fingerprints burrowrotor-headless shows for `frames` frames of a poll
// tape (none: no button ever), read back from its trace.
std::vector<std::uint64_t> headless_hashes(std::uint64_t frames, const std::vector<std::uint32_t>& words) {
    const std::string dir = fresh_output_dir("handheld-" + std::to_string(getpid()));
    std::string arguments = "--frames " + std::to_string(frames) + " --trace '" + dir + "/trace.jsonl'";
    if (!words.empty()) {
        const std::vector<unsigned char> bytes = tape_bytes(words);
        std::FILE* f = std::fopen((dir + "/tape.polls").c_str(), "wb");
        if (f == nullptr || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size() || std::fclose(f) != 0) return {};
        arguments += " --poll-tape '" + dir + "/tape.polls'";
    }
    return run_runner(arguments) == 0 ? trace_hashes(dir + "/trace.jsonl") : std::vector<std::uint64_t>{};
}

std::vector<std::uint64_t> shown_hashes(const EmulatorResult& result) {
    std::vector<std::uint64_t> hashes;
    for (const ShownFrame& f : result.frames) hashes.push_back(f.hash);
    return hashes;
}

// Runs 200 frames without a button device (missing, or there but unreadable):
// the title screen animates, and every frame is the one the headless runner
// shows when no button is ever pressed.
TEST(HandheldStartUp, WithoutAButtonDeviceTheTitleScreenRunsAndSeesNoButton) {
    const std::vector<std::uint64_t> expected = headless_hashes(200, {});
    ASSERT_EQ(expected.size(), 200u) << "the headless runner failed";
    for (DeviceShape gpio : {DeviceShape::missing, DeviceShape::unreadable}) {
        EmulatorConfig config = handheld(BURROW_HANDHELD_BIN);
        config.shape[DEVICE_GPIO] = gpio;
        config.frames = 200;
        RUN_OR_SKIP(r, config);
        ASSERT_EQ(r.outcome, EmulatorOutcome::frames_shown) << r.message;
        EXPECT_EQ(r.binary_stderr, "");
        EXPECT_EQ(first_difference(shown_hashes(r), expected), -1);
    }
}

}  // namespace

namespace {

// The demo tape through the headless runner, once per test run.
const std::vector<std::uint64_t>& demo_expected() {
    static const std::vector<std::uint64_t> hashes = headless_hashes(3000, demo_tape_words());
    return hashes;
}

// 3,000 frames of the demo tape: the same pixels as the headless runner,
// frame for frame, the first one from /dev/fb0, the two buffers alternating,
// and not a word on stdout or stderr.
void expect_demo_matches_headless(const char* binary) {
    ASSERT_EQ(demo_expected().size(), 3000u) << "the headless runner failed";
    EmulatorConfig config = handheld(binary);
    config.tape = tape_bytes(demo_tape_words());
    config.frames = 3000;
    RUN_OR_SKIP(r, config);
    ASSERT_EQ(r.outcome, EmulatorOutcome::frames_shown) << r.message;
    EXPECT_EQ(r.binary_stdout, "");
    EXPECT_EQ(r.binary_stderr, "");
    const long at = first_difference(shown_hashes(r), demo_expected());
    EXPECT_EQ(at, -1) << "the handheld shows other pixels than the headless runner from frame " << at
                      << " on; compare its frames (burrowrotor-handheld-emu --png) with burrowrotor-headless --png";
    // The same check that finds no write after a failed start-up sees these.
    EXPECT_TRUE(r.buffer_written[0] && r.buffer_written[1] && r.registers_written);
    for (std::size_t i = 0; i < r.frames.size(); ++i) {
        const int buffer = static_cast<int>(i % 2);
        ASSERT_EQ(r.frames[i].buffer, buffer) << "frame " << i + 1;
        ASSERT_EQ(r.frames[i].address, buffer == 0 ? DISPLAY_ADDR_FB0 : DISPLAY_ADDR_FB1) << "frame " << i + 1;
    }
}

TEST(HandheldDemo, HostBuildShowsWhatTheHeadlessRunnerShows) { expect_demo_matches_headless(BURROW_HANDHELD_BIN); }

TEST(HandheldDemo, ArmBuildUnderQemuShowsWhatTheHeadlessRunnerShows) {
    expect_demo_matches_headless(BURROW_ARM_HANDHELD_BIN);
}

// The ARM build reaches the register block at 3 GiB only with 64-bit file
// offsets; its start-up must fail exactly as the host build's does.
TEST(HandheldStartUp, ArmBuildStopsBeforeAnyWriteJustAsTheHostBuild) { expect_start_failures(BURROW_ARM_HANDHELD_BIN); }

}  // namespace
