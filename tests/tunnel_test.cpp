// The tunnel's two rules for the new column, where the golden runs cannot
// reach. Single columns at every x are checked against the reference in
// gfx_differential_test; the scroll, the shift and the whole strip at every
// speed in every frame by the golden runs.
#include <gtest/gtest.h>

#include <cstdlib>
#include <utility>

#include "game/tunnel.h"

namespace {

// Seeds rand so that its next value has the wanted parity.
void next_rand_odd(bool odd) {
    for (unsigned seed = 1;; ++seed) {
        std::srand(seed);
        if ((std::rand() % 2 != 0) == odd) {
            std::srand(seed);
            return;
        }
    }
}

using TopGap = std::pair<int, int>;

// The new last column after one walk from the given top and gap: the title
// screen's walk, or with a frame count the game's.
TopGap walk(std::int32_t top, std::int32_t gap, bool odd, std::int32_t frame_count = -1) {
    TunnelState t;
    reset_tunnel(&t);
    t.top[33] = top;
    t.gap[33] = gap;
    next_rand_odd(odd);
    if (frame_count < 0)
        walk_title_tunnel(&t);
    else
        walk_game_tunnel(&t, frame_count);
    for (int i = 0; i < 33; ++i) EXPECT_TRUE(t.top[i] == 30 && t.gap[i] == 180) << "only column 33 changes";
    return {t.top[33], t.gap[33]};
}

// Both walks within the bounds a real game or title screen reaches are
// checked, frame by frame, by the golden runs; these are the cases they miss:
// a title tunnel far from its start, a game's gap left alone where a bound
// blocks the step, and the passage of a game past 18,000 frames.
TEST(TunnelWalk, TitleWandersByFourWithoutBound) {
    EXPECT_EQ(walk(30, 180, true), TopGap(34, 180));
    EXPECT_EQ(walk(30, 180, false), TopGap(26, 180));
    EXPECT_EQ(walk(-5000, 180, false), TopGap(-5004, 180));
    EXPECT_EQ(walk(TITLE_TOP_LIMIT, 180, true), TopGap(TITLE_TOP_LIMIT, 180)) << "held far beyond any real stay";
    EXPECT_EQ(walk(-TITLE_TOP_LIMIT, 180, false), TopGap(-TITLE_TOP_LIMIT, 180));
    EXPECT_EQ(walk(-TITLE_TOP_LIMIT + 4, 180, false), TopGap(-TITLE_TOP_LIMIT, 180));
}

TEST(TunnelWalk, GameHeldAtItsBoundsNarrowsToNothingAndBeyond) {
    EXPECT_EQ(walk(58, 77, true, 50), TopGap(58, 77)) << "bound blocks: nothing changes";
    EXPECT_EQ(walk(2, 77, false, 50), TopGap(2, 77));
    EXPECT_EQ(walk(30, 180, true, 18000), TopGap(34, 0));
    EXPECT_EQ(walk(30, 180, true, 18099), TopGap(34, 0));
    EXPECT_EQ(walk(30, 180, true, 18100), TopGap(34, -1));
}

}  // namespace
