// The game allocates nothing once it runs: 10,000 frames of title screens
// and games in every mode, with every allocation of the process counted.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdlib>
#include <new>

#include "autopilot/pilot.h"
#include "game/loop.h"
#include "game/view.h"
#include "platform/buttons.h"
#include "ports/headless/headless.h"

namespace {
// Counting is switched on only around the frames, so the test framework's
// own allocations are not counted.
bool s_counting = false;
std::size_t s_allocations = 0;

void note_allocation() {
    if (s_counting) ++s_allocations;
}
}  // namespace

// Sanitizer runtimes bring their own allocator; there only the C++ operators
// are not replaced either, and the test skips itself.
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
#define BURROW_COUNTING_ALLOCATOR 1

extern "C" {
void* __libc_malloc(std::size_t);
void* __libc_calloc(std::size_t, std::size_t);
void* __libc_realloc(void*, std::size_t);
void __libc_free(void*);

void* malloc(std::size_t n) {
    note_allocation();
    return __libc_malloc(n);
}
void* calloc(std::size_t n, std::size_t size) {
    note_allocation();
    return __libc_calloc(n, size);
}
void* realloc(void* p, std::size_t n) {
    note_allocation();
    return __libc_realloc(p, n);
}
void free(void* p) { __libc_free(p); }
}

// The library's operator new[] comes here too.
void* operator new(std::size_t n) {
    note_allocation();
    if (void* p = __libc_malloc(n == 0 ? 1 : n)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { __libc_free(p); }
void operator delete(void* p, std::size_t) noexcept { __libc_free(p); }
#endif

namespace {

struct Seen {
    std::uint64_t games = 0;
    bool mode[3] = {false, false, false};
    bool in_game = false;
};

// A player: the menu walked to the next mode and speed in turn, then the
// action button in bursts, which weave the chopper until it crashes.
bool player(void* context, std::uint64_t frame, std::uint64_t poll, std::uint32_t* word) {
    const auto games = static_cast<std::int32_t>(static_cast<Seen*>(context)->games);
    if (g_title_view != nullptr) *word = Pilot::menu_word(*g_title_view, games % 3, games % 4, poll);
    else *word = (frame / 7) % 3 == 0 ? 1u << BUTTON_ACTION : 0u;
    return true;
}

void watch(void* context, std::uint64_t, int, const FrameSurface*) {
    Seen* seen = static_cast<Seen*>(context);
    const bool in_game = g_game_view != nullptr;
    if (in_game && !seen->in_game) {
        ++seen->games;
        const int m = g_game_view->mode;
        if (m >= 0 && m < 3) seen->mode[m] = true;
    }
    seen->in_game = in_game;
    // The run is left by throwing once the last frame is shown; that
    // exception is the test's, not the game's.
    if (headless_frames_shown() == 10000) s_counting = false;
}

TEST(Allocation, NoneInTenThousandFramesOfMenusAndGames) {
#ifndef BURROW_COUNTING_ALLOCATOR
    GTEST_SKIP() << "the sanitizer's allocator cannot be counted here";
#else
    static Seen seen;
    headless_start();
    headless_set_buttons(player, &seen);
    headless_set_observer(watch, &seen);
    headless_stop_after(10000);
    s_allocations = 0;
    s_counting = true;
    try {
        run_game_loop();
    } catch (const HeadlessStop&) {
    }
    s_counting = false;
    EXPECT_EQ(s_allocations, 0u);
    EXPECT_EQ(headless_frames_shown(), 10000u);
    EXPECT_GE(seen.games, 5u);
    EXPECT_TRUE(seen.mode[0] && seen.mode[1] && seen.mode[2]);
    headless_set_observer(nullptr, nullptr);
    headless_set_buttons(nullptr, nullptr);
#endif
}

}  // namespace
