// The command line of burrowrotor-headless.
#pragma once
#include <cstdint>
#include <string>

#include "ports/common/frame_files.h"

struct RunnerOptions {
    std::uint64_t frames = 0;  // 0: until the --input tape's last frame and TAPE_TAIL_FRAMES more
    std::string input_tape;  // --input: button tape, per frame
    std::string poll_tape;   // --poll-tape: binary words, per poll
    std::string trace;
    FrameDump dump;
    bool games = false;  // --games: one JSON line on stdout per game that ended
    bool help = false;
};

// Ten seconds of play after a tape's last line: long enough to see how a
// game that was running when the recording ended goes on.
constexpr std::uint64_t TAPE_TAIL_FRAMES = 600;

extern const char RUNNER_USAGE[];

// Fills `options` from argv; on a mistake returns false with a one-line reason.
bool parse_runner_args(int argc, const char* const* argv, RunnerOptions* options, std::string* error);
