// The command line of burrowrotor-headless.
#pragma once
#include <cstdint>
#include <string>

#include "ports/common/frame_files.h"

struct RunnerOptions {
    std::uint64_t frames = 0;
    std::string input_tape;  // --input: button tape, per frame
    std::string poll_tape;   // --poll-tape: binary words, per poll
    std::string trace;
    FrameDump dump;
    bool help = false;
};

extern const char RUNNER_USAGE[];

// Fills `options` from argv; on a mistake returns false with a one-line reason.
bool parse_runner_args(int argc, const char* const* argv, RunnerOptions* options, std::string* error);
