// burrowrotor-headless: the unmodified game loop on the in-memory display,
// driven by a button tape, for tests, bug reports and demos.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "game/last_game.h"
#include "game/loop.h"
#include "game/view.h"
#include "ports/common/frame_files.h"
#include "ports/common/frame_hash.h"
#include "ports/common/message.h"
#include "ports/common/outputs.h"
#include "ports/common/part_file.h"
#include "ports/common/poll_tape.h"
#include "ports/common/tape.h"
#include "ports/common/trace.h"
#include "ports/headless/headless.h"
#include "ports/headless/runner_options.h"

namespace {

// --games: what is known of the game running at the last shown frame.
struct GameWatch {
    bool in_game = false;
    std::uint64_t number = 0;       // games started so far, the running one included
    std::uint64_t start = 0;        // the frame the running game's first frame was shown in
    std::uint64_t fingerprint = 0;  // FNV-1a 64 over its frame hashes so far
};

struct Run {
    RunnerOptions options;
    GameWatch games;
    ButtonTape tape;
    PollTape polls;
    PartFile trace;
    std::string error;  // set when writing an output failed
};

bool buttons_from_tape(void* context, std::uint64_t frame, std::uint64_t, std::uint32_t* word) {
    *word = tape_word_at(&static_cast<Run*>(context)->tape, frame);
    return true;
}

bool buttons_from_polls(void* context, std::uint64_t, std::uint64_t, std::uint32_t* word) {
    return poll_tape_read(&static_cast<Run*>(context)->polls, word);
}

// A game runs from its first shown frame to its crash frame, which is shown
// with the game still published; the title screen follows. Two tapes that fly
// the same game show the same frames whatever they did on the title screen,
// so the fingerprint is over those frames' hashes, each low byte first.
void watch_games(GameWatch* w, std::uint64_t frame, std::uint64_t hash) {
    if (g_game_view == nullptr) return;
    if (!w->in_game) {
        w->in_game = true;
        w->number += 1;
        w->start = frame;
        w->fingerprint = 0xcbf29ce484222325ull;
    }
    for (int i = 0; i < 8; ++i) {
        w->fingerprint ^= (hash >> (8 * i)) & 0xFFu;
        w->fingerprint *= 0x100000001b3ull;
    }
    if (g_game_view->crashed != 1) return;
    w->in_game = false;
    std::printf("{\"game\":%llu,\"mode\":%d,\"speed\":%d,\"score\":%d,\"start\":%llu,\"crash\":%llu,"
                "\"fingerprint\":\"%016llx\"}\n",
                static_cast<unsigned long long>(w->number), static_cast<int>(g_last_mode),
                static_cast<int>(g_last_speed), static_cast<int>(g_score), static_cast<unsigned long long>(w->start),
                static_cast<unsigned long long>(frame), static_cast<unsigned long long>(w->fingerprint));
    std::fflush(stdout);  // a reader may stop the run at the game it was waiting for
}

void observe(void* context, std::uint64_t frame, int buffer, const FrameSurface* shown) {
    Run* run = static_cast<Run*>(context);
    const bool need_hash = run->trace.file != nullptr || (run->options.games && g_game_view != nullptr);
    const std::uint64_t hash = need_hash ? frame_hash(shown) : 0;
    if (run->options.games) watch_games(&run->games, frame, hash);
    if (run->trace.file != nullptr && !write_trace_line(run->trace.file, frame, buffer, hash)) {
        run->error = part_file_reason(run->options.trace, errno);
        throw HeadlessStop{};
    }
    if (!frame_dump_write(run->options.dump, frame, shown, &run->error)) throw HeadlessStop{};
}

int fail(const std::string& message) {
    std::fprintf(stderr, "burrowrotor-headless: %s\n", one_line(message).c_str());
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    static Run run;
    std::string error;
    if (!parse_runner_args(argc, argv, &run.options, &error)) return fail(error);
    if (run.options.help) {
        std::fputs(RUNNER_USAGE, stdout);
        return 0;
    }
    RunnerOptions& o = run.options;
    if (!outputs_spare_inputs({{"--trace", o.trace, true}, {"--input", o.input_tape, false},
                               {"--poll-tape", o.poll_tape, false}},
                              &error))
        return fail(error);
    if (!o.input_tape.empty() && !load_button_tape(o.input_tape.c_str(), &run.tape, &error)) return fail(error);
    if (!o.poll_tape.empty() && !load_poll_tape(o.poll_tape.c_str(), &run.polls, &error)) return fail(error);
    if (o.frames == 0) o.frames = (run.tape.entries.empty() ? 0 : run.tape.entries.back().frame) + TAPE_TAIL_FRAMES;
    if (!frame_dump_check(o.dump, &error)) return fail(error);
    if (!o.trace.empty() && !trace_open(&run.trace, o.trace, &error)) return fail(error);

    headless_start();
    headless_set_observer(observe, &run);
    if (!o.input_tape.empty()) headless_set_buttons(buttons_from_tape, &run);
    if (!o.poll_tape.empty()) headless_set_buttons(buttons_from_polls, &run);
    headless_stop_after(o.frames);
    try {
        run_game_loop();
    } catch (const HeadlessStop&) {
    }

    // The trace reaches its final name only when the whole run went well.
    if (run.trace.file != nullptr) part_file_close(&run.trace, run.error.empty(), &run.error);
    if (!run.error.empty()) return fail(run.error);
    if (o.games && std::fflush(stdout) != 0) return fail(std::string("standard output: ") + std::strerror(errno));
    return 0;
}
