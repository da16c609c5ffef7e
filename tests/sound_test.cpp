// The one sound no golden run hears: the fanfare of a new best, which only
// the ports that keep best scores ask for (tests/e2e/sound_test.sh holds the
// rest to the golden coin run's samples).
#include <gtest/gtest.h>

#include <cstdlib>

#include "ports/common/sound.h"

TEST(Sound, ANewBestPlaysAFanfareOverTheSilentTitleAndEndsIt) {
    static SoundSynth synth;
    sound_start(&synth);
    const TitleState title{};
    // The loudest sample of `frames` title frames, the first with `new_best`.
    const auto loudest = [&](int frames, bool new_best) {
        int peak = 0;
        std::int16_t out[SOUND_FRAME_SAMPLES];
        for (int f = 0; f < frames; ++f) {
            sound_frame(&synth, &title, nullptr, 0, new_best && f == 0, out);
            for (const std::int16_t s : out) peak = std::max(peak, std::abs(s));
        }
        return peak;
    };
    EXPECT_EQ(loudest(60, false), 0) << "the title screen alone is silent";
    const int fanfare = loudest(72, true);  // 1.2 s
    EXPECT_GT(fanfare, 2000) << "no fanfare after a new best";
    EXPECT_LE(fanfare, SOUND_PEAK);
    EXPECT_EQ(loudest(30, false), 0) << "the fanfare goes on past 1.2 s";
}
