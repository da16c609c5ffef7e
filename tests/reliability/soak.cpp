// burrow_soak: the long runs of the game itself in `make soak`, meant for the
// sanitizer build (the Makefile then compares the device binary on the
// emulated handheld with burrowrotor-headless).
//
//   burrow_soak TITLE_FRAMES GAMES
//
// The title screen for TITLE_FRAMES frames with no button: it stays the title
// screen and its wandering passage stays within its bound. Then GAMES games in
// one session, every mode and speed in turn, chosen on the menu by the
// autopilot and flown by random presses: each must start as chosen and end in
// a crash before the passage has long been closed.
// Exit status 0 when all held, 1 at the first finding, 2 for bad usage.
#include <cstdio>
#include <cstdlib>
#include <random>

#include "autopilot/pilot.h"
#include "game/view.h"
#include "game_harness.h"
#include "platform/buttons.h"
#include "ports/common/message.h"
#include "ports/common/options.h"

namespace {

std::mt19937_64 g_random(20240601);  // our own sequence: the game's rand() is left alone
std::uint64_t g_games_wanted = 0, g_games_ended = 0;
std::uint64_t g_last_end = 0;  // the frame the last game crashed on
std::uint32_t g_held = 0;      // the word of the random presses
bool g_in_game = false;

// The soak ends at its first finding, with exit status 1.
[[noreturn]] void finding(const std::string& what) {
    say("burrow_soak", what);
    std::exit(1);
}

void title_frame(void*, std::uint64_t frame, int, const FrameSurface*) {
    if (g_title_view == nullptr) finding("frame " + std::to_string(frame) + " is not the title screen");
    for (std::int32_t top : g_title_view->tunnel.top)
        if (top > TITLE_TOP_LIMIT || top < -TITLE_TOP_LIMIT) finding("title passage past its bound");
}

// On the title screen the menu walked to game n's mode and speed (n counts the
// games ended); in a game the action button, turned over at random polls.
bool game_buttons(void*, std::uint64_t, std::uint64_t poll, std::uint32_t* word) {
    const auto n = static_cast<std::int32_t>(g_games_ended);
    if (g_random() % 6 == 0) g_held ^= 1u << BUTTON_ACTION;
    *word = g_game_view == nullptr ? Pilot::menu_word(*g_title_view, n % 3, n / 3 % 4, poll) : g_held;
    return true;
}

// Rows the chopper's 25-row box needs: once the passage is narrower, no
// flight survives; 2,000 frames later (menu included) every game has ended.
constexpr std::uint64_t PASSAGE_CLOSED = 100 * (180 - 24) + 2000;

void game_frame(void*, std::uint64_t frame, int, const FrameSurface*) {
    const GameState* g = g_game_view;
    const auto n = static_cast<std::int32_t>(g_games_ended);
    const std::string game = "game " + std::to_string(n + 1);
    if (g == nullptr && g_in_game) finding(game + " stopped without its crash frame");
    if (g != nullptr && !g_in_game && (g->mode != n % 3 || g->scroll_step != SCROLL_STEPS[n / 3 % 4]))
        finding(game + " did not start as chosen");
    g_in_game = g != nullptr && g->crashed != 1;
    if (g != nullptr && !g_in_game) g_last_end = frame;
    if (g != nullptr && !g_in_game && ++g_games_ended == g_games_wanted) throw HeadlessStop{};
    if (frame - g_last_end > PASSAGE_CLOSED)
        finding(game + " did not start and end within " + std::to_string(PASSAGE_CLOSED) + " frames of the last");
}

}  // namespace

int main(int argc, char** argv) {
    std::uint64_t title_frames = 0;
    std::string error = "usage: burrow_soak TITLE_FRAMES GAMES";
    if (argc != 3 || !parse_count_arg("TITLE_FRAMES", argv[1], MAX_COUNT_ARG, &title_frames, &error) ||
        !parse_count_arg("GAMES", argv[2], MAX_COUNT_ARG, &g_games_wanted, &error)) {
        say("burrow_soak", error);
        return 2;
    }
    headless_run(title_frames, title_frame, nullptr, nullptr);
    headless_run(0, game_frame, game_buttons, nullptr);
    std::printf("soak: %s title frames, %s games; no finding\n", argv[1], argv[2]);
    return 0;
}
