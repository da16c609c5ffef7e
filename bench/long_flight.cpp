// long_flight: writes the button tape of one long game at NORMAL SLOW, for
// the hall of fame's benchmark (a verification of a two-minute game). The
// chopper is flown by looking ahead: every few frames the program forks one
// copy of itself per height the chopper could steer for, each copy flies on
// towards its height and says how long it lived, and the height that lives
// longest is flown. A fork copies the whole game, so the look-ahead is the
// game's own rules, not a model of them.
//   long_flight FRAMES TAPE   (the game is flown FRAMES frames, then let go)
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "autopilot/pilot.h"
#include "game/loop.h"
#include "game/view.h"
#include "platform/buttons.h"
#include "ports/common/tape.h"
#include "ports/headless/headless.h"

namespace {

constexpr int TARGETS = 21;            // heights tried, from TOP_TARGET down
constexpr std::int32_t TOP_TARGET = 10;
constexpr std::int32_t TARGET_STEP = 10;
constexpr int COMMIT_FRAMES = 6;       // flown between two looks ahead
constexpr int LOOK_FRAMES = 150;       // how far each copy flies

struct Flight {
    std::uint64_t game_frames = 0;  // --frames: fly this long, then let go
    std::int32_t target = 110;      // the height being steered for
    std::uint64_t plan_until = 0;   // the frame the next look ahead is due
    int report = -1;                // in a copy: where to write how long it lived
    std::uint64_t copy_end = 0;     // in a copy: the last frame it flies
    std::vector<std::uint32_t> words;
} s_flight;

// Climbs when the chopper, at its present vertical speed, would be below the
// target a few frames from now.
std::uint32_t steer(const GameState& g, std::int32_t target) {
    return g.chopper_y + 5 * g.vertical_speed > target ? 1u << BUTTON_ACTION : 0u;
}

// In a copy: the look ahead ends at its last frame or its crash.
void observe(void*, std::uint64_t frame, int, const FrameSurface*) {
    Flight& f = s_flight;
    if (f.report < 0 || (g_game_view != nullptr && frame < f.copy_end)) return;
    const std::uint64_t lived = frame;
    (void)!write(f.report, &lived, sizeof lived);
    _exit(0);
}

// Tries every height from here and returns the one flown longest; a tie
// keeps the height nearest the one steered for now.
std::int32_t look_ahead(std::uint64_t frame) {
    std::uint64_t best_lived = 0;
    std::int32_t best = s_flight.target;
    for (int i = 0; i < TARGETS; ++i) {
        const std::int32_t target = TOP_TARGET + i * TARGET_STEP;
        int pipe_fds[2];
        if (pipe(pipe_fds) != 0) std::exit(1);
        const pid_t pid = fork();
        if (pid == 0) {
            close(pipe_fds[0]);
            s_flight.report = pipe_fds[1];
            s_flight.copy_end = frame + LOOK_FRAMES;
            s_flight.target = target;
            s_flight.plan_until = ~0ull;
            return target;
        }
        close(pipe_fds[1]);
        std::uint64_t lived = 0;
        if (read(pipe_fds[0], &lived, sizeof lived) != sizeof lived) lived = 0;
        close(pipe_fds[0]);
        waitpid(pid, nullptr, 0);
        const bool nearer = std::abs(target - s_flight.target) < std::abs(best - s_flight.target);
        if (lived > best_lived || (lived == best_lived && nearer)) {
            best_lived = lived;
            best = target;
        }
    }
    return best;
}

bool buttons(void*, std::uint64_t frame, std::uint64_t poll, std::uint32_t* word) {
    Flight& f = s_flight;
    if (g_title_view != nullptr) {
        if (g_game_view == nullptr && f.game_frames == 0) return false;
        *word = Pilot::menu_word(*g_title_view, 0, 0, poll);  // NORMAL SLOW
    } else if (g_game_view != nullptr) {
        const GameState& g = *g_game_view;
        if (static_cast<std::uint64_t>(g.frame_count) >= f.game_frames && f.report < 0) {
            *word = 0;  // let go: the game ends within a second
        } else {
            if (frame >= f.plan_until) {
                f.target = look_ahead(frame);
                if (f.report < 0) f.plan_until = frame + COMMIT_FRAMES;
            }
            *word = steer(g, f.target);
        }
    }
    if (f.report < 0) {
        if (f.words.size() < frame) f.words.resize(frame, 0);
        f.words[frame - 1] = *word;
    }
    return true;
}

// The recorded words as a tape: a line whenever the word changes.
bool write_tape(const char* path, std::uint64_t crash) {
    std::FILE* out = std::fopen(path, "w");
    if (out == nullptr) return false;
    std::fprintf(out, "%s\n# NORMAL at SLOW, flown by bench/long_flight; the game ends in frame %llu.\n",
                 TAPE_HEADER, static_cast<unsigned long long>(crash));
    std::uint32_t last = 0;
    for (std::size_t i = 0; i < s_flight.words.size(); ++i)
        if (i == 0 || s_flight.words[i] != last) {
            last = s_flight.words[i];
            std::fprintf(out, "%zu %s\n", i + 1, format_button_word(last).c_str());
        }
    return std::fclose(out) == 0;
}

std::uint64_t s_crash = 0;
void watch_crash(void*, std::uint64_t frame, int b, const FrameSurface* shown) {
    if (s_flight.report >= 0) return observe(nullptr, frame, b, shown);
    if (g_game_view != nullptr && g_game_view->crashed == 1) {
        s_crash = frame;
        throw HeadlessStop{};
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3 || std::atoll(argv[1]) <= 0) {
        std::fprintf(stderr, "usage: long_flight FRAMES TAPE\n");
        return 2;
    }
    s_flight.game_frames = static_cast<std::uint64_t>(std::atoll(argv[1]));
    headless_start();
    headless_set_observer(watch_crash, nullptr);
    headless_set_buttons(buttons, nullptr);
    headless_stop_after(s_flight.game_frames * 2 + 10000);
    try {
        run_game_loop();
    } catch (const HeadlessStop&) {
    }
    if (!write_tape(argv[2], s_crash)) {
        std::fprintf(stderr, "long_flight: %s: cannot write the tape\n", argv[2]);
        return 1;
    }
    std::printf("long_flight: the game ends in frame %llu\n", static_cast<unsigned long long>(s_crash));
    return 0;
}
