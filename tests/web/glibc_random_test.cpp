// The browser build's rand() against the host C library's own: the game's
// tunnels are only the handheld's tunnels if every value is the same. Each
// test runs in a process of its own, so the host's rand() starts unseeded.
#include <gtest/gtest.h>

#include <cstdlib>

#include "ports/web/glibc_random.h"

namespace {

// The first `count` values after seeding with `seed` (0 = never seeded) agree.
void expect_same_sequence(std::uint32_t seed, int count) {
    GlibcRandom ours;
    glibc_random_seed(&ours, seed == 0 ? 1 : seed);
    if (seed != 0) std::srand(seed);
    for (int i = 0; i < count; ++i) {
        const int expected = std::rand();
        const std::int32_t got = glibc_random_next(&ours);
        if (got != expected) {
            FAIL() << "seed " << seed << ", value " << i << ": " << got << ", the C library gives " << expected;
        }
    }
}

TEST(GlibcRandom, UnseededSequenceMatchesTheCLibrary) { expect_same_sequence(0, 100000); }

// Seed 0 counts as 1, and seeds above 2^31 read as negative words; both take
// their own paths through the seeding step.
TEST(GlibcRandom, SeededSequencesMatchTheCLibrary) {
    for (std::uint32_t seed : {1u, 2u, 42u, 127773u, 2147483647u, 2147483648u, 4294967295u})
        expect_same_sequence(seed, 2000);
    GlibcRandom zero, one;
    glibc_random_seed(&zero, 0);
    glibc_random_seed(&one, 1);
    for (int i = 0; i < 100; ++i) EXPECT_EQ(glibc_random_next(&zero), glibc_random_next(&one));
}

}  // namespace
