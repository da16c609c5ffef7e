// burrowrotor-headless: the unmodified game loop on the in-memory display,
// driven by a button tape, for tests, bug reports and demos.
#include <cstdio>
#include <cstring>
#include <string>

#include "game/loop.h"
#include "platform/common/frame_files.h"
#include "platform/common/frame_hash.h"
#include "platform/common/message.h"
#include "platform/common/poll_tape.h"
#include "platform/common/tape.h"
#include "platform/common/trace.h"
#include "platform/headless/headless.h"
#include "platform/headless/runner_options.h"

namespace {

struct Run {
    RunnerOptions options;
    ButtonTape tape;
    PollTape polls;
    std::FILE* trace = nullptr;
    std::string trace_part;
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
    if (run->trace != nullptr && !write_trace_line(run->trace, frame, buffer, frame_hash(shown))) {
        run->error = run->options.trace + ": " + std::strerror(errno);
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
    const RunnerOptions& o = run.options;
    if (!o.input_tape.empty() && !load_button_tape(o.input_tape.c_str(), &run.tape, &error)) return fail(error);
    if (!o.poll_tape.empty() && !load_poll_tape(o.poll_tape.c_str(), &run.polls, &error)) return fail(error);
    if (!frame_dump_check(o.dump, &error)) return fail(error);
    if (!o.trace.empty()) {
        // Written under a temporary name and renamed once complete.
        run.trace_part = o.trace + ".part";
        run.trace = std::fopen(run.trace_part.c_str(), "w");
        if (run.trace == nullptr) return fail(o.trace + ": " + std::strerror(errno));
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

    if (run.trace != nullptr) {
        const bool closed = std::fflush(run.trace) == 0 && std::ferror(run.trace) == 0;
        if (!closed && run.error.empty()) run.error = o.trace + ": " + std::strerror(errno);
        if (std::fclose(run.trace) != 0 && run.error.empty()) run.error = o.trace + ": " + std::strerror(errno);
        if (run.error.empty() && std::rename(run.trace_part.c_str(), o.trace.c_str()) != 0)
            run.error = o.trace + ": " + std::strerror(errno);
        if (!run.error.empty()) std::remove(run.trace_part.c_str());
    }
    if (!run.error.empty()) return fail(run.error);
    return 0;
}
