// burrow-record-pilot: lets the autopilot play one game from power-on and
// writes what it pressed as a button tape, for golden runs and demos.
//
//   burrow-record-pilot --mode M --speed S --fly N [--title K] --out TAPE
//
// The pilot walks the menu to mode M and speed level S, flies N game frames,
// then lets go so the chopper sinks to its crash; K title frames follow
// (default 60). The tape's header says how many frames it was recorded for.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "autopilot/pilot.h"
#include "game/view.h"
#include "game_harness.h"
#include "ports/common/tape.h"

namespace {
const char* const MODE_NAMES[] = {"NORMAL", "COIN", "MOVING"};
const char* const SPEED_NAMES[] = {"SLOW", "MEDIUM", "FAST", "MADNESS!"};

int usage() {
    std::fputs("usage: burrow-record-pilot --mode 0-2 --speed 0-3 --fly N [--title K] --out TAPE\n", stderr);
    return 2;
}
}  // namespace

int main(int argc, char** argv) {
    long mode = -1, speed = -1, fly = -1, title = 60;
    std::string out;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string flag = argv[i];
        if (flag == "--out") out = argv[i + 1];
        else if (flag == "--mode") mode = std::strtol(argv[i + 1], nullptr, 10);
        else if (flag == "--speed") speed = std::strtol(argv[i + 1], nullptr, 10);
        else if (flag == "--fly") fly = std::strtol(argv[i + 1], nullptr, 10);
        else if (flag == "--title") title = std::strtol(argv[i + 1], nullptr, 10);
        else return usage();
    }
    if (argc % 2 == 0 || mode < 0 || mode > 2 || speed < 0 || speed > 3 || fly < 0 || title < 1 || out.empty())
        return usage();

    // Recorded in memory first: the header needs the frame count.
    std::vector<std::pair<std::uint64_t, std::uint32_t>> words;
    Pilot pilot;
    const ButtonSource buttons = [&](std::uint64_t frame, std::uint64_t poll) {
        std::uint32_t word = 0;
        if (g_game_view == nullptr)
            word = Pilot::menu_word(*g_title_view, static_cast<std::int32_t>(mode), static_cast<std::int32_t>(speed),
                                    poll);
        else if (g_game_view->frame_count <= fly)
            word = pilot.game_word(*g_game_view);
        if (words.empty() || words.back().second != word) words.emplace_back(frame, word);
        return word;
    };
    RunOptions options;
    long title_frames = -1;
    options.stop = [&](const std::vector<FrameRecord>& run) {
        if (title_frames < 0 && run.size() > 1 && run[run.size() - 2].in_game && !run.back().in_game)
            title_frames = 0;
        if (title_frames >= 0) ++title_frames;
        return title_frames == title;
    };
    const auto run = run_program(1000000, buttons, options);
    const FrameRecord& crash = run[run.size() - static_cast<std::size_t>(title) - 1];

    std::FILE* f = std::fopen(out.c_str(), "w");
    if (f == nullptr) {
        std::perror(out.c_str());
        return 2;
    }
    std::fprintf(f, "# %s at %s, recorded from the autopilot: it flies %ld game frames, then lets go.\n",
                 MODE_NAMES[mode], SPEED_NAMES[speed], fly);
    std::fprintf(f, "# The game ends in its frame %d with score %d; %ld title frames follow.\n",
                 crash.game.frame_count, crash.score, title);
    std::fprintf(f, "# frames: %zu\n", run.size());
    for (const auto& w : words)
        std::fprintf(f, "%llu %s\n", static_cast<unsigned long long>(w.first), format_button_word(w.second).c_str());
    if (std::fclose(f) != 0) return 2;
    std::printf("%s: %zu frames, game of %d frames, score %d\n", out.c_str(), run.size(), crash.game.frame_count,
                crash.score);
    return 0;
}
