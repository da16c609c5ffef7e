// The emulated handheld itself, once: a stand-in binary (the probe) shows
// frames whose pixels it takes from the button word it polled, and the
// emulator must capture each flipped buffer as drawn, in turn from /dev/fb0
// and /dev/fb1, one tape word per poll, the last frame before the binary
// exits included.
#include <gtest/gtest.h>

#include "platform/display.h"
#include "ports/common/frame_hash.h"
#include "tests/handheld/handheld_support.h"
#include "tests/handheld/probe_frame.h"

namespace {

TEST(EmulatedHandheld, ShowsEachFlippedBufferAsDrawnAndPlaysTheTapeOneWordPerPoll) {
    const std::vector<std::uint32_t> words = {0x00000000, 0x00001000, 0xFFFFFFFF, 0x00000011, 0x12345678};
    EmulatorConfig config;
    config.command = {BURROW_PROBE_BIN, "8"};
    config.flip_timeout = 5.0;
    config.tape = tape_bytes(words);
    RUN_OR_SKIP(r, config);
    ASSERT_EQ(r.outcome, EmulatorOutcome::binary_exited) << r.message;
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(r.binary_stderr + r.binary_stdout, "");
    ASSERT_EQ(r.frames.size(), 8u) << r.message;
    static FrameSurface drawn;
    for (std::size_t i = 0; i < r.frames.size(); ++i) {
        // Past the end of the tape a read delivers nothing: the word stays.
        fill_probe_frame(&drawn, static_cast<std::uint16_t>(i + 1), words[std::min<std::size_t>(i, words.size() - 1)]);
        const ShownFrame& f = r.frames[i];
        EXPECT_EQ(f.buffer, static_cast<int>(i % 2)) << "frame " << i + 1;
        EXPECT_EQ(f.address, f.buffer == 0 ? DISPLAY_ADDR_FB0 : DISPLAY_ADDR_FB1) << "frame " << i + 1;
        EXPECT_EQ(f.hash, frame_hash(&drawn)) << "frame " << i + 1 << " not as drawn";
        if (i > 0) {
            EXPECT_GT(f.refresh, r.frames[i - 1].refresh) << "frame " << i + 1;
        }
    }
}

}  // namespace
