// burrow_soak: the long runs of `make soak`, meant for the sanitizer build.
//
//   burrow_soak TITLE_FRAMES GAMES [HANDHELD_BINARY HANDHELD_FRAMES]
//
// The title screen for TITLE_FRAMES frames with no button: it stays the title
// screen and its wandering passage stays within its bound. Then GAMES games in one session, every mode
// and speed in turn, flown by random presses: each must start as chosen and
// end in a crash before the passage has long been closed. Then the device
// binary on the emulated handheld for HANDHELD_FRAMES frames of random button
// words: it must show exactly the frames burrowrotor-headless shows for them.
// Exit status 0 when all held, 1 on a finding, 77 when the handheld part
// could not run here (no private mount namespace).
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "autopilot/pilot.h"
#include "game/view.h"
#include "game_harness.h"
#include "platform/buttons.h"
#include "ports/common/count_arg.h"
#include "runner_process.h"
#include "tools/handheld-emu/emulator.h"

namespace {

int g_findings = 0;
std::mt19937_64 g_random(20240601);  // our own sequence: the game's rand() is left alone

void finding(const std::string& what) {
    std::fprintf(stderr, "burrow_soak: %s\n", what.c_str());
    if (++g_findings >= 10) std::exit(1);
}

void title_frame(void*, std::uint64_t frame, int, const FrameSurface*) {
    if (g_title_view == nullptr) return finding("frame " + std::to_string(frame) + " is not the title screen");
    for (std::int32_t top : g_title_view->tunnel.top)
        if (top > TITLE_TOP_LIMIT || top < -TITLE_TOP_LIMIT) finding("title passage past its bound");
}

// Rows the chopper's 25-row box needs: once the passage is narrower, no
// flight survives; 2,000 frames later every game must have ended.
constexpr std::int32_t PASSAGE_CLOSED = 100 * (180 - 24) + 2000;

struct GameSoak {
    std::uint64_t wanted = 0, ended = 0;
    std::uint32_t hold = 0;
    std::uint64_t hold_until = 0;
    bool in_game = false;
};

// The menu walked to game n's mode and speed (n counts the games ended), then
// presses and pauses of random length, a little more often held.
bool game_buttons(void* context, std::uint64_t frame, std::uint64_t poll, std::uint32_t* word) {
    GameSoak* s = static_cast<GameSoak*>(context);
    const auto n = static_cast<std::int32_t>(s->ended);
    if (g_game_view == nullptr) {
        *word = Pilot::menu_word(*g_title_view, n % 3, (n / 3) % 4, poll);
        return true;
    }
    if (frame >= s->hold_until) {
        s->hold = g_random() % 100 < 52 ? 1u << BUTTON_ACTION : 0u;
        s->hold_until = frame + 1 + g_random() % 12;
    }
    *word = s->hold;
    return true;
}

void game_frame(void* context, std::uint64_t, int, const FrameSurface*) {
    GameSoak* s = static_cast<GameSoak*>(context);
    const GameState* g = g_game_view;
    const auto n = static_cast<std::int32_t>(s->ended);
    const std::string game = "game " + std::to_string(n + 1);
    if (g == nullptr) {
        if (s->in_game) finding(game + " stopped without its crash frame");
        s->in_game = false;
        return;
    }
    if (!s->in_game && (g->mode != n % 3 || g->scroll_step != SCROLL_STEPS[(n / 3) % 4]))
        finding(game + " did not start as chosen");
    s->in_game = g->crashed != 1;
    if (g->frame_count > PASSAGE_CLOSED) finding(game + " goes on past the closed passage");
    if (g->frame_count > PASSAGE_CLOSED || (g->crashed == 1 && ++s->ended == s->wanted)) throw HeadlessStop{};
}

// False when the emulated handheld cannot run here.
bool soak_handheld(const std::string& binary, std::uint64_t frames) {
    // Words a player might give: mostly nothing or the action button,
    // sometimes a direction, in runs of a few polls.
    const std::uint32_t words[] = {0, 0, 1u << BUTTON_ACTION, 1u << BUTTON_ACTION, 1u << BUTTON_UP,
                                   1u << BUTTON_DOWN, 1u << BUTTON_LEFT, 1u << BUTTON_RIGHT};
    std::vector<unsigned char> tape;
    while (tape.size() < 4 * frames) {
        const std::uint32_t w = words[g_random() % 8];
        for (std::uint64_t n = 1 + g_random() % 20; n > 0; --n)
            for (int b = 0; b < 4; ++b) tape.push_back(static_cast<unsigned char>(w >> (8 * b)));
    }
    const std::string dir = fresh_output_dir("soak");
    std::ofstream(dir + "/words", std::ios::binary).write(reinterpret_cast<const char*>(tape.data()), tape.size());
    if (run_runner("--frames " + std::to_string(frames) + " --poll-tape '" + dir + "/words' --trace '" + dir + "/t'") != 0)
        finding("the headless runner failed");
    const std::vector<std::uint64_t> expected = trace_hashes(dir + "/t");
    EmulatorConfig config;
    config.command = {binary};
    config.tape = tape;
    config.frames = frames;
    const EmulatorResult r = run_emulated_handheld(config);
    if (r.outcome == EmulatorOutcome::namespace_refused) return false;
    if (r.outcome != EmulatorOutcome::frames_shown) finding(std::string("handheld: ") + outcome_name(r.outcome) + ": " + r.message);
    if (!r.binary_stderr.empty()) finding("the handheld wrote to stderr: " + r.binary_stderr.substr(0, 2000));
    std::size_t same = 0;
    while (same < r.frames.size() && same < expected.size() && r.frames[same].hash == expected[same]) ++same;
    if (same != frames) finding("the handheld shows other pixels than the headless display from frame " + std::to_string(same + 1));
    return true;
}

std::uint64_t count(const char* name, const char* text) {
    std::uint64_t v = 0;
    std::string error;
    if (parse_count_arg(name, text, MAX_COUNT_ARG, &v, &error)) return v;
    std::fprintf(stderr, "burrow_soak: %s\n", error.c_str());
    std::exit(2);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3 && argc != 5) {
        std::fprintf(stderr, "usage: burrow_soak TITLE_FRAMES GAMES [HANDHELD_BINARY HANDHELD_FRAMES]\n");
        return 2;
    }
    const std::uint64_t title_frames = count("TITLE_FRAMES", argv[1]);
    run_loop(title_frames, title_frame, nullptr, nullptr);
    if (headless_frames_shown() != title_frames) finding("the title screen stopped early");
    static GameSoak games;
    games.wanted = count("GAMES", argv[2]);
    run_loop(0, game_frame, game_buttons, &games);
    if (games.ended != games.wanted) finding("only " + std::to_string(games.ended) + " games ended");
    const bool handheld_ran = argc != 5 || soak_handheld(argv[3], count("HANDHELD_FRAMES", argv[4]));
    std::printf("soak: %llu title frames, %llu games, %s; %d findings\n", static_cast<unsigned long long>(title_frames),
                static_cast<unsigned long long>(games.ended), handheld_ran ? "the handheld" : "the handheld SKIPPED",
                g_findings);
    if (g_findings != 0) return 1;
    return handheld_ran ? 0 : 77;
}
