// burrow_soak: the long runs of `make soak`, meant for the sanitizer build.
//
//   burrow_soak TITLE_FRAMES GAMES [HANDHELD_BINARY HANDHELD_FRAMES]
//
// The title screen for TITLE_FRAMES frames with no button: it stays the title
// screen and its wandering passage stays within its bound. Then GAMES games in one session, every mode
// and speed in turn, flown by random presses: each must start as chosen and
// end in a crash before the passage has long been closed. Then the device
// binary on the emulated handheld for HANDHELD_FRAMES frames of random button
// words: it must show exactly the frames the headless display shows for them.
// Exit status 0 when all held, 1 on a finding, 77 when the handheld part
// could not run here (no private mount namespace).
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "autopilot/pilot.h"
#include "game/view.h"
#include "game_harness.h"
#include "platform/buttons.h"
#include "ports/common/frame_hash.h"
#include "ports/common/poll_tape.h"
#include "ports/headless/headless.h"
#include "tools/handheld-emu/emulator.h"

namespace {

int g_findings = 0;

void finding(const std::string& what) {
    std::fprintf(stderr, "burrow_soak: %s\n", what.c_str());
    if (++g_findings >= 10) std::exit(1);
}

void title_frame(void*, std::uint64_t frame, int, const FrameSurface*) {
    if (g_title_view == nullptr) return finding("frame " + std::to_string(frame) + " is not the title screen");
    for (std::int32_t top : g_title_view->tunnel.top)
        if (top > TITLE_TOP_LIMIT || top < -TITLE_TOP_LIMIT) finding("title passage past its bound");
}

void soak_title(std::uint64_t frames) {
    run_loop(frames, title_frame, nullptr, nullptr);
    if (headless_frames_shown() != frames) finding("the title screen stopped early");
    std::printf("title: %llu frames\n", static_cast<unsigned long long>(frames));
}

struct GameSoak {
    std::uint64_t wanted = 0, ended = 0, longest = 0;
    std::mt19937_64 random{20240601};  // our own sequence: the game's rand() is left alone
    std::uint32_t hold = 0;
    std::uint64_t hold_until = 0;
    bool in_game = false;
};

// Rows the chopper's 25-row box needs: once the passage is narrower, no
// flight survives; 2,000 frames later every game must have ended.
constexpr std::int32_t PASSAGE_CLOSED = 100 * (180 - 24) + 2000;

bool game_buttons(void* context, std::uint64_t frame, std::uint64_t poll, std::uint32_t* word) {
    GameSoak* s = static_cast<GameSoak*>(context);
    const auto game = static_cast<std::int32_t>(s->ended);
    if (g_game_view == nullptr) {
        *word = Pilot::menu_word(*g_title_view, game % 3, (game / 3) % 4, poll);
    } else {
        if (frame >= s->hold_until) {
            // Presses and pauses of random length, a little more often held.
            s->hold = s->random() % 100 < 52 ? 1u << BUTTON_ACTION : 0u;
            s->hold_until = frame + 1 + s->random() % 12;
        }
        *word = s->hold;
    }
    return true;
}

void game_frame(void* context, std::uint64_t, int, const FrameSurface*) {
    GameSoak* s = static_cast<GameSoak*>(context);
    const GameState* g = g_game_view;
    if (g == nullptr) {
        if (s->in_game) finding("a game stopped without its crash frame");
        s->in_game = false;
        return;
    }
    const auto game = static_cast<std::int32_t>(s->ended);
    if (!s->in_game && (g->mode != game % 3 || g->scroll_step != SCROLL_STEPS[(game / 3) % 4]))
        finding("game " + std::to_string(game + 1) + " did not start as chosen");
    s->in_game = true;
    if (g->frame_count > PASSAGE_CLOSED) {
        finding("game " + std::to_string(game + 1) + " goes on past the closed passage");
        throw HeadlessStop{};
    }
    if (g->crashed != 1) return;
    s->in_game = false;
    s->longest = std::max<std::uint64_t>(s->longest, static_cast<std::uint64_t>(g->frame_count));
    if (++s->ended == s->wanted) throw HeadlessStop{};
}

void soak_games(std::uint64_t games) {
    static GameSoak s;
    s.wanted = games;
    run_loop(0, game_frame, game_buttons, &s);
    if (s.ended != games) finding("only " + std::to_string(s.ended) + " games ended");
    std::printf("games: %llu ended by a crash, the longest after %llu frames, %llu frames in all\n",
                static_cast<unsigned long long>(s.ended), static_cast<unsigned long long>(s.longest),
                static_cast<unsigned long long>(headless_frames_shown()));
}

// The poll tape the handheld plays and the hashes the headless display shows for it.
struct PollRun {
    PollTape tape;
    std::vector<std::uint64_t> hashes;
};

bool poll_word(void* run, std::uint64_t, std::uint64_t, std::uint32_t* word) {
    return poll_tape_read(&static_cast<PollRun*>(run)->tape, word);
}

void poll_frame(void* run, std::uint64_t, int, const FrameSurface* shown) {
    static_cast<PollRun*>(run)->hashes.push_back(frame_hash(shown));
}

// False when the emulated handheld cannot run here.
bool soak_handheld(const std::string& binary, std::uint64_t frames) {
    // Words a player might give: mostly nothing or the action button,
    // sometimes a direction, in runs of a few polls.
    std::mt19937_64 random(7);
    const std::uint32_t words[] = {0, 0, 1u << BUTTON_ACTION, 1u << BUTTON_ACTION, 1u << BUTTON_UP,
                                   1u << BUTTON_DOWN, 1u << BUTTON_LEFT, 1u << BUTTON_RIGHT};
    static PollRun headless;
    while (headless.tape.bytes.size() < 4 * frames) {
        const std::uint32_t w = words[random() % 8];
        for (std::uint64_t n = 1 + random() % 20; n > 0; --n)
            for (int b = 0; b < 4; ++b) headless.tape.bytes.push_back(static_cast<unsigned char>(w >> (8 * b)));
    }
    run_loop(frames, poll_frame, poll_word, &headless);

    EmulatorConfig config;
    config.command = {binary};
    config.tape = headless.tape.bytes;
    config.frames = frames;
    const EmulatorResult r = run_emulated_handheld(config);
    if (r.outcome == EmulatorOutcome::namespace_refused) {
        std::printf("handheld: SKIPPED, %s\n", r.message.c_str());
        return false;
    }
    if (r.outcome != EmulatorOutcome::frames_shown) finding(std::string("handheld: ") + outcome_name(r.outcome) + ": " + r.message);
    if (!r.binary_stderr.empty()) finding("the handheld wrote to stderr: " + r.binary_stderr.substr(0, 2000));
    std::size_t same = 0;
    while (same < r.frames.size() && same < headless.hashes.size() && r.frames[same].hash == headless.hashes[same]) ++same;
    if (same != frames) finding("the handheld shows other pixels than the headless display from frame " + std::to_string(same + 1));
    std::printf("handheld: %zu frames in %llu refreshes, %zu the same as the headless display's\n", r.frames.size(),
                static_cast<unsigned long long>(r.refreshes), same);
    return true;
}

std::uint64_t count(const char* text) {
    char* end = nullptr;
    const unsigned long long v = std::strtoull(text, &end, 10);
    if (end == text || *end != '\0' || v == 0) {
        std::fprintf(stderr, "burrow_soak: '%s' is not a count\n", text);
        std::exit(2);
    }
    return v;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3 && argc != 5) {
        std::fprintf(stderr, "usage: burrow_soak TITLE_FRAMES GAMES [HANDHELD_BINARY HANDHELD_FRAMES]\n");
        return 2;
    }
    soak_title(count(argv[1]));
    soak_games(count(argv[2]));
    const bool handheld_ran = argc != 5 || soak_handheld(argv[3], count(argv[4]));
    std::printf("soak: %d findings%s\n", g_findings, handheld_ran ? "" : ", the handheld part skipped");
    if (g_findings != 0) return 1;
    return handheld_ran ? 0 : 77;
}
