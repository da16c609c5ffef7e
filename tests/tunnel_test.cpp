// The tunnel: how it scrolls and shifts, and the two rules for the new
// column. Single columns at every x are checked against the reference in
// gfx_differential_test, the whole strip in every frame by the golden runs.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <utility>

#include "game/tunnel.h"

namespace {

TEST(TunnelScroll, OffsetsAndShifts) {
    struct Expect {
        int step;
        const char* offsets;  // offset drawn in each of 6 frames
        const char* shifts;   // whether that frame's advance shifted
    };
    for (const Expect& e : {Expect{1, "012345", "......"}, Expect{2, "024680", "....#."}, Expect{5, "050505", ".#.#.#"},
                            Expect{10, "000000", "######"}}) {
        TunnelState t;
        reset_tunnel(&t);
        std::string offsets, shifts;
        for (int frame = 0; frame < 6; ++frame) {
            offsets += static_cast<char>('0' + t.offset);
            shifts += advance_tunnel(&t, e.step) ? '#' : '.';
        }
        EXPECT_EQ(offsets, e.offsets) << "step " << e.step;
        EXPECT_EQ(shifts, e.shifts) << "step " << e.step;
    }
    // A shift moves every column one place left; column 33 keeps its values.
    TunnelState t;
    reset_tunnel(&t);
    for (int i = 0; i < TUNNEL_COLUMNS; ++i) {
        t.top[i] = 100 + i;
        t.gap[i] = 200 + i;
    }
    t.offset = 8;
    EXPECT_TRUE(advance_tunnel(&t, 2));
    EXPECT_EQ(t.offset, 0);
    for (int i = 0; i < TUNNEL_COLUMNS; ++i) {
        EXPECT_EQ(t.top[i], 100 + std::min(i + 1, 33)) << "column " << i;
        EXPECT_EQ(t.gap[i], 200 + std::min(i + 1, 33)) << "column " << i;
    }
}

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

// The new last column after one walk from the given top and gap.
std::pair<int, int> title_walk(std::int32_t top, bool odd) {
    TunnelState t;
    reset_tunnel(&t);
    t.top[33] = top;
    next_rand_odd(odd);
    walk_title_tunnel(&t);
    for (int i = 0; i < 33; ++i) EXPECT_TRUE(t.top[i] == 30 && t.gap[i] == 180) << "only column 33 changes";
    return {t.top[33], t.gap[33]};
}

std::pair<int, int> game_walk(std::int32_t top, std::int32_t gap, bool odd, std::int32_t frame_count) {
    TunnelState t;
    reset_tunnel(&t);
    t.top[33] = top;
    t.gap[33] = gap;
    next_rand_odd(odd);
    walk_game_tunnel(&t, frame_count);
    return {t.top[33], t.gap[33]};
}

using TopGap = std::pair<int, int>;

// Both walks within the bounds a real game or title screen reaches are
// checked, frame by frame, by the golden runs; these are the cases they miss:
// a title tunnel far from its start, a game's gap left alone where a bound
// blocks the step, and the passage of a game past 18,000 frames.
TEST(TunnelWalk, TitleWandersByFourWithoutBound) {
    EXPECT_EQ(title_walk(30, true), TopGap(34, 180));
    EXPECT_EQ(title_walk(30, false), TopGap(26, 180));
    EXPECT_EQ(title_walk(-5000, false), TopGap(-5004, 180));
    EXPECT_EQ(title_walk(TITLE_TOP_LIMIT, true), TopGap(TITLE_TOP_LIMIT, 180)) << "held far beyond any real stay";
    EXPECT_EQ(title_walk(-TITLE_TOP_LIMIT, false), TopGap(-TITLE_TOP_LIMIT, 180));
}

TEST(TunnelWalk, GameHeldAtItsBoundsNarrowsToNothingAndBeyond) {
    EXPECT_EQ(game_walk(58, 77, true, 50), TopGap(58, 77)) << "bound blocks: nothing changes";
    EXPECT_EQ(game_walk(2, 77, false, 50), TopGap(2, 77));
    EXPECT_EQ(game_walk(30, 180, true, 18000), TopGap(34, 0));
    EXPECT_EQ(game_walk(30, 180, true, 18099), TopGap(34, 0));
    EXPECT_EQ(game_walk(30, 180, true, 18100), TopGap(34, -1));
}

}  // namespace
