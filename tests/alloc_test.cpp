// The game allocates nothing once it runs: 10,000 frames of title screens
// and games in every mode, with every allocation of the process counted.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdlib>
#include <new>

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

constexpr std::uint32_t UP = 1u << BUTTON_UP, LEFT = 1u << BUTTON_LEFT, DOWN = 1u << BUTTON_DOWN,
                        RIGHT = 1u << BUTTON_RIGHT, ACTION = 1u << BUTTON_ACTION;

// A player, in cycles of 600 frames: up twice to the mode row, a new mode
// (right, right, then left twice back to NORMAL), down twice to "LET'S GO!",
// then the action button in bursts, which starts the game and weaves the
// chopper until it crashes.
bool player(void*, std::uint64_t frame, std::uint64_t, std::uint32_t* word) {
    const std::uint64_t cycle = frame / 600, phase = frame % 600;
    const bool back_to_normal = cycle % 3 == 2;
    *word = 0;
    if (phase >= 100 && phase < 102) *word = UP;
    if (phase >= 110 && phase < 112) *word = UP;
    if (phase >= 120 && phase < 122) *word = back_to_normal ? LEFT : RIGHT;
    if (phase >= 130 && phase < 132 && back_to_normal) *word = LEFT;
    if (phase >= 140 && phase < 142) *word = DOWN;
    if (phase >= 150 && phase < 152) *word = DOWN;
    if (phase >= 160 && (frame / 7) % 3 == 0) *word = ACTION;
    return true;
}

struct Seen {
    std::uint64_t games = 0;
    bool mode[3] = {false, false, false};
    bool in_game = false;
};

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
    headless_set_buttons(player, nullptr);
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
