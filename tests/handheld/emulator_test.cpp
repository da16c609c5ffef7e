// The emulated handheld itself, driven by the probe: the refresh handshake
// captures exactly what was flipped, refreshes pass while a slow binary
// draws, and every rule of the display that a binary can break is caught.
#include <gtest/gtest.h>

#include "ports/common/frame_hash.h"
#include "platform/display.h"
#include "tests/handheld/handheld_support.h"
#include "tests/handheld/probe_frame.h"

namespace {

EmulatorConfig probe(std::initializer_list<const char*> args) {
    EmulatorConfig config;
    config.command.push_back(BURROW_PROBE_BIN);
    for (const char* a : args) config.command.push_back(a);
    config.flip_timeout = 1.0;
    return config;
}

std::uint64_t probe_hash(std::uint16_t index, std::uint32_t word) {
    static FrameSurface frame;
    fill_probe_frame(&frame, index, word);
    return frame_hash(&frame);
}

// Every frame i of the probe was captured as drawn, from the buffer it was
// drawn into, with the address of that buffer, in refreshes that only go up.
void expect_probe_frames(const EmulatorResult& r, int count, const std::vector<std::uint32_t>& words) {
    ASSERT_EQ(r.frames.size(), static_cast<std::size_t>(count)) << r.message;
    std::uint32_t word = 0;
    for (int i = 1; i <= count; ++i) {
        const ShownFrame& f = r.frames[static_cast<std::size_t>(i - 1)];
        if (static_cast<std::size_t>(i) <= words.size()) word = words[static_cast<std::size_t>(i - 1)];
        EXPECT_EQ(f.buffer, (i - 1) % 2) << "frame " << i;
        EXPECT_EQ(f.address, f.buffer == 0 ? DISPLAY_ADDR_FB0 : DISPLAY_ADDR_FB1) << "frame " << i;
        EXPECT_EQ(f.hash, probe_hash(static_cast<std::uint16_t>(i), word)) << "frame " << i << " not as drawn";
        if (i > 1) {
            EXPECT_GT(f.refresh, r.frames[static_cast<std::size_t>(i - 2)].refresh) << "frame " << i;
        }
    }
}

TEST(EmulatedHandheld, ShowsEachFlippedBufferAsDrawnAndPlaysTheTapeOneWordPerPoll) {
    const std::vector<std::uint32_t> words = {0x00000000, 0x00001000, 0xFFFFFFFF, 0x00000011, 0x12345678};
    EmulatorConfig config = probe({"frames", "8"});
    config.tape = tape_bytes(words);
    RUN_OR_SKIP(r, config);
    ASSERT_EQ(r.outcome, EmulatorOutcome::binary_exited) << r.message;
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(r.binary_stderr, "");
    EXPECT_EQ(r.binary_stdout, "");
    EXPECT_TRUE(r.faults.empty());
    // Past the end of the tape a read delivers nothing: the word stays.
    expect_probe_frames(r, 8, words);
}

TEST(EmulatedHandheld, RefreshesPassWhileASlowBinaryDrawsAndNoFrameIsLost) {
    RUN_OR_SKIP(r, probe({"slow", "20"}));
    ASSERT_EQ(r.outcome, EmulatorOutcome::binary_exited) << r.message;
    expect_probe_frames(r, 20, {});
    EXPECT_GT(r.refreshes_without_flip, 0u) << "a frame of 3 ms spans several refreshes";
}

TEST(EmulatedHandheld, ABinaryThatNeverFlipsTimesOutWithAClearMessage) {
    RUN_OR_SKIP(r, probe({"noflip"}));
    EXPECT_EQ(r.outcome, EmulatorOutcome::no_flip);
    EXPECT_NE(r.message.find("never showed a frame"), std::string::npos) << r.message;
    EXPECT_FALSE(r.exited) << "the emulator kills a stuck binary";
}

TEST(EmulatedHandheld, CatchesEveryBrokenRuleOfTheDisplay) {
    const struct {
        const char* mode;
        const char* message;
    } cases[] = {
        {"badorder",
         "display address registers written out of order: saw 0x2914 written while 0x290E 0x2910 0x2912 still waited"},
        {"partial", "flip left incomplete for 1.0 s: wrote 0x290E but not 0x2910 0x2912 0x2914"},
        {"stray", "the binary wrote register 0x1184 (now 0x1234)"},
    };
    for (const auto& c : cases) {
        RUN_OR_SKIP(r, probe({c.mode}));
        EXPECT_EQ(r.outcome, EmulatorOutcome::fault) << c.mode << ": " << r.message;
        EXPECT_NE(r.message.find(c.message), std::string::npos) << c.mode << ": " << r.message;
    }
    // Flipping without the wait: either the second flip of a refresh or, when
    // it lands while the controller clears the registers, a mixed-up order.
    RUN_OR_SKIP(r, probe({"nowait"}));
    EXPECT_EQ(r.outcome, EmulatorOutcome::fault);
    EXPECT_TRUE(r.message.find("did not wait for the vertical-sync flag") != std::string::npos ||
                r.message.find("out of order") != std::string::npos)
        << r.message;
}

}  // namespace
