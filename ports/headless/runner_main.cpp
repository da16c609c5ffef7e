// burrowrotor-headless: the unmodified game loop on the in-memory display,
// driven by a button tape, for tests, bug reports and demos.
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
#include "ports/common/sound.h"
#include "ports/common/tape.h"
#include "ports/common/trace.h"
#include "ports/headless/headless.h"
#include "ports/headless/runner_options.h"

namespace {

struct Run {
    RunnerOptions options;
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

void observe(void* context, std::uint64_t frame, int buffer, const FrameSurface* shown) {
    Run* run = static_cast<Run*>(context);
    if (run->trace.file != nullptr && !write_trace_line(run->trace.file, frame, buffer, frame_hash(shown))) {
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
    if (!outputs_spare_inputs({{"--trace", o.trace, true}, {"--wav", o.wav, true}, {"--input", o.input_tape, false},
                               {"--poll-tape", o.poll_tape, false}},
                              &error))
        return fail(error);
    if (!o.input_tape.empty() && !load_button_tape(o.input_tape.c_str(), &run.tape, &error)) return fail(error);
    if (!o.poll_tape.empty() && !load_poll_tape(o.poll_tape.c_str(), &run.polls, &error)) return fail(error);
    if (o.frames == 0) o.frames = (run.tape.entries.empty() ? 0 : run.tape.entries.back().frame) + TAPE_TAIL_FRAMES;
    if (!frame_dump_check(o.dump, &error)) return fail(error);
    if (!o.trace.empty() && !trace_open(&run.trace, o.trace, &error)) return fail(error);
    if (!o.wav.empty() && !wav_open(&run, &error)) {
        if (run.trace.file != nullptr) part_file_close(&run.trace, false, &error);
        return fail(error);
    }

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
    if (run.wav.file != nullptr) part_file_close(&run.wav, run.error.empty(), &run.error);
    if (!run.error.empty()) return fail(run.error);
    return 0;
}
