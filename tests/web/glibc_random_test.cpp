// The browser build's rand() against the host C library's own: the game's
// tunnels are only the handheld's tunnels if every value is the same. The
// test runs in a process of its own, so the host's rand() starts unseeded.
#include <gtest/gtest.h>

#include <cstdlib>

#include "ports/web/glibc_random.h"

namespace {

// The game never seeds: an unseeded rand() starts as if seeded with 1.
TEST(GlibcRandom, UnseededSequenceMatchesTheCLibrary) {
    GlibcRandom ours;
    glibc_random_seed(&ours, 1);
    for (int i = 0; i < 100000; ++i) ASSERT_EQ(glibc_random_next(&ours), std::rand()) << "value " << i;
}

}  // namespace
