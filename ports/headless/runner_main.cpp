// burrowrotor-headless: the unmodified game loop on the in-memory display,
// driven by a button tape, for tests, bug reports and demos.
#include <cstdio>
#include <cstring>
#include <string>

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

struct Run {
    RunnerOptions options;
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

void observe(void* context, std::uint64_t frame, int buffer, const FrameSurface* shown) {
    Run* run = static_cast<Run*>(context);
    if (run->trace.file != nullptr && !write_trace_line(run->trace.file, frame, buffer, frame_hash(shown))) {
        run->error = part_file_reason(run->options.trace, errno);
        throw HeadlessStop{};
    }
    if (!frame_dump_write(run->options.dump, frame, shown, &run->error)) throw HeadlessStop{};
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

    HeadlessButtons buttons = !o.input_tape.empty() ? buttons_from_tape
                              : !o.poll_tape.empty()  ? buttons_from_polls
                                                      : nullptr;
    headless_run(o.frames, observe, buttons, &run);

    // The trace reaches its final name only when the whole run went well.
    if (run.trace.file != nullptr) part_file_close(&run.trace, run.error.empty(), &run.error);
    if (!run.error.empty()) return fail(run.error);
    return 0;
}
