// The game allocates nothing once it runs: 10,000 frames of title screens
// and games in every mode, with every allocation of the process counted.
#include <gtest/gtest.h>

#include <cstddef>
#include <set>
#include <vector>

#include "autopilot/pilot.h"
#include "game/view.h"
#include "game_harness.h"
#include "platform/buttons.h"

namespace {
// Counting is switched on only while the frames run, so the test framework's
// and the harness's own allocations are not counted.
bool s_counting = false;
std::size_t s_allocations = 0;
}  // namespace

// Sanitizer runtimes bring their own allocator; there the test skips itself.
// Elsewhere the C++ library's operator new comes through malloc too.
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
#define BURROW_COUNTING_ALLOCATOR 1

extern "C" {
void* __libc_malloc(std::size_t);
void* __libc_calloc(std::size_t, std::size_t);
void* __libc_realloc(void*, std::size_t);

void* malloc(std::size_t n) {
    s_allocations += s_counting;
    return __libc_malloc(n);
}
void* calloc(std::size_t n, std::size_t size) {
    s_allocations += s_counting;
    return __libc_calloc(n, size);
}
void* realloc(void* p, std::size_t n) {
    s_allocations += s_counting;
    return __libc_realloc(p, n);
}
}
#endif

namespace {

TEST(Allocation, NoneInTenThousandFramesOfMenusAndGames) {
#ifndef BURROW_COUNTING_ALLOCATOR
    GTEST_SKIP() << "the sanitizer's allocator cannot be counted here";
#else
    // A player: the menu walked to the next mode and speed in turn, then the
    // action button in bursts, which weave the chopper until it crashes.
    int games = 0;
    const auto player = [&games](std::uint64_t frame, std::uint64_t poll) -> std::uint32_t {
        if (g_title_view != nullptr) return Pilot::menu_word(*g_title_view, games % 3, games % 4, poll);
        games += g_game_view->frame_count == 1;
        return (frame / 7) % 3 == 0 ? 1u << BUTTON_ACTION : 0u;
    };
    // From the first frame shown until the last, which leaves the run by
    // throwing: that exception is the test's, not the game's.
    const StopRule count = [](const std::vector<FrameRecord>& run) {
        s_counting = run.size() < 10000;
        return false;
    };
    s_allocations = 0;
    const auto run = run_program(10000, player, count);
    EXPECT_EQ(s_allocations, 0u);
    EXPECT_EQ(run.size(), 10000u);
    // The games as the screens published them: each screen withdraws its
    // view when it ends.
    std::vector<std::int32_t> modes;
    for (std::size_t i = 1; i < run.size(); ++i)
        if (run[i].in_game && !run[i - 1].in_game) modes.push_back(run[i].game.mode);
    EXPECT_GE(modes.size(), 5u);
    EXPECT_EQ(std::set<std::int32_t>(modes.begin(), modes.end()).size(), 3u) << "every mode played";
#endif
}

}  // namespace
