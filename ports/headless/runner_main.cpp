// burrowrotor-headless: the unmodified game loop on the in-memory display,
// driven by a button tape, for tests, bug reports and demos.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "game/last_game.h"
#include "game/view.h"
#include "ports/common/frame_files.h"
#include "ports/common/frame_hash.h"
#include "ports/common/message.h"
#include "ports/common/options.h"
#include "ports/common/outputs.h"
#include "ports/common/part_file.h"
#include "ports/common/poll_tape.h"
#include "ports/common/sound.h"
#include "ports/common/tape.h"
#include "ports/common/trace.h"
#include "ports/headless/headless.h"

namespace {

struct RunnerOptions {
    std::uint64_t frames = 0;  // 0: until the --input tape's last frame and TAPE_TAIL_FRAMES more
    std::string input_tape;  // --input: button tape, per frame
    std::string poll_tape;   // --poll-tape: binary words, per poll
    std::string trace;
    std::string wav;  // --wav: the run's sound; without it nothing is synthesised
    FrameDump dump;
    bool games = false;  // --games: one JSON line on stdout per game that ended
    bool help = false;
};

// Ten seconds of play after a tape's last line: long enough to see how a
// game that was running when the recording ended goes on.
constexpr std::uint64_t TAPE_TAIL_FRAMES = 600;

const char USAGE[] =
    "usage: burrowrotor-headless [--frames N] [--input TAPE | --poll-tape FILE] [--trace FILE]\n"
    "                            [--wav FILE] [--png DIR] [--raw DIR] [--from F] [--every K] [--games]\n"
    "\n"
    "Runs the game without a display until N frames have been shown.\n"
    "  --frames N        number of frames to show (1 or more); with --input the default\n"
    "                    is the tape's last frame and ten seconds (600 frames) more\n"
    "  --input TAPE      button tape: lines '<frame> <buttons>', buttons '-', UP,LEFT,DOWN,RIGHT,ACTION or 0x...\n"
    "  --poll-tape FILE  binary tape: one 4-byte little-endian button word per poll\n"
    "  --trace FILE      one JSON line per shown frame: hash and the screen's state\n"
    "  --wav FILE        the run's sound as a 48 kHz 16-bit mono WAV file, 800 samples a frame\n"
    "  --png DIR         write shown frames as DIR/frame-000123.png (DIR is made if missing)\n"
    "  --raw DIR         write shown frames as 153600-byte RGB565 files\n"
    "  --from F          first frame to write (default 1)\n"
    "  --every K         write every K-th frame from F on (default 1)\n"
    "  --games           print a JSON line for each game that ends: its number, mode, speed,\n"
    "                    score, first and crash frame, and the fingerprint of its frames\n";

bool parse_runner_args(int argc, const char* const* argv, RunnerOptions* o, std::string* error) {
    if (!parse_options(argc, argv,
                       {final_option("--help", &o->help), final_option("-h", &o->help),
                        count_option("--frames", &o->frames), path_option("--input", &o->input_tape),
                        path_option("--poll-tape", &o->poll_tape), path_option("--trace", &o->trace),
                        path_option("--wav", &o->wav),
                        path_option("--png", &o->dump.png_dir), path_option("--raw", &o->dump.raw_dir),
                        count_option("--from", &o->dump.from), count_option("--every", &o->dump.every),
                        switch_option("--games", &o->games)},
                       error))
        return false;
    if (o->help) return true;
    if (o->frames == 0 && o->input_tape.empty()) {
        *error = "--frames N is required without --input (see --help)";
        return false;
    }
    if (!o->input_tape.empty() && !o->poll_tape.empty()) {
        *error = "--input and --poll-tape cannot be used together";
        return false;
    }
    return true;
}

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
    PartFile wav;
    SoundSynth synth;
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
        w->fingerprint = FNV_OFFSET;
    }
    for (int i = 0; i < 8; ++i) w->fingerprint = fnv1a_step(w->fingerprint, (hash >> (8 * i)) & 0xFFu);
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
    if (run->wav.file != nullptr) {
        std::int16_t samples[SOUND_FRAME_SAMPLES];
        sound_frame(&run->synth, g_title_view, g_game_view, g_score, false, samples);
        unsigned char bytes[2 * SOUND_FRAME_SAMPLES];
        for (int i = 0; i < SOUND_FRAME_SAMPLES; ++i) {
            bytes[2 * i] = static_cast<unsigned char>(samples[i] & 0xff);
            bytes[2 * i + 1] = static_cast<unsigned char>((samples[i] >> 8) & 0xff);
        }
        if (std::fwrite(bytes, sizeof bytes, 1, run->wav.file) != 1) {
            run->error = part_file_reason(run->options.wav + ".part", errno);
            throw HeadlessStop{};
        }
    }
}

// The WAV file holds exactly the frames the run will show: its header can be
// written first.
bool wav_open(Run* run, std::string* error) {
    if (!part_file_open(&run->wav, run->options.wav, "wb", error)) return false;
    sound_start(&run->synth);
    unsigned char header[44];
    sound_wav_header(static_cast<std::uint32_t>(run->options.frames * SOUND_FRAME_SAMPLES), header);
    if (std::fwrite(header, sizeof header, 1, run->wav.file) == 1) return true;
    *error = part_file_reason(run->options.wav + ".part", errno);
    part_file_close(&run->wav, false, error);
    return false;
}

int fail(const std::string& message) {
    say("burrowrotor-headless", message);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    static Run run;
    std::string error;
    if (!parse_runner_args(argc, argv, &run.options, &error)) return fail(error);
    if (run.options.help) {
        std::fputs(USAGE, stdout);
        return 0;
    }
    RunnerOptions& o = run.options;
    if (!outputs_spare_inputs({{"--trace", o.trace, true}, {"--wav", o.wav, true}, {"--input", o.input_tape, false},
                               {"--poll-tape", o.poll_tape, false}},
                              &error))
        return fail(error);
    if (!o.input_tape.empty() && !load_button_tape(o.input_tape.c_str(), &run.tape, &error)) return fail(error);
    if (!o.poll_tape.empty() && !load_poll_tape(o.poll_tape.c_str(), &run.polls, &error)) return fail(error);
    if (o.frames == 0) o.frames = (run.tape.entries.empty() ? 0 : run.tape.entries.back().frame) + TAPE_TAIL_FRAMES;
    if (!o.wav.empty() && o.frames > SOUND_WAV_MAX_FRAMES)
        return fail("--wav holds at most " + std::to_string(SOUND_WAV_MAX_FRAMES) + " frames, a WAV file's limit; the run has " +
                    std::to_string(o.frames));
    if (!frame_dump_check(o.dump, &error)) return fail(error);
    if (!o.trace.empty() && !trace_open(&run.trace, o.trace, &error)) return fail(error);
    if (!o.wav.empty() && !wav_open(&run, &error)) {
        if (run.trace.file != nullptr) part_file_close(&run.trace, false, &error);
        return fail(error);
    }

    HeadlessButtons buttons = !o.input_tape.empty() ? buttons_from_tape
                              : !o.poll_tape.empty()  ? buttons_from_polls
                                                      : nullptr;
    headless_run(o.frames, observe, buttons, &run);

    // The trace reaches its final name only when the whole run went well.
    if (run.trace.file != nullptr) part_file_close(&run.trace, run.error.empty(), &run.error);
    if (run.wav.file != nullptr) part_file_close(&run.wav, run.error.empty(), &run.error);
    if (!run.error.empty()) return fail(run.error);
    if (o.games && std::fflush(stdout) != 0) return fail(std::string("standard output: ") + std::strerror(errno));
    return 0;
}
