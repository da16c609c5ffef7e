#include "ports/headless/runner_options.h"

#include "ports/common/options.h"

const char RUNNER_USAGE[] =
    "usage: burrowrotor-headless [--frames N] [--input TAPE | --poll-tape FILE] [--trace FILE]\n"
    "                            [--png DIR] [--raw DIR] [--from F] [--every K] [--help]\n"
    "\n"
    "Runs the game without a display until N frames have been shown.\n"
    "  --frames N        number of frames to show (1 or more); with --input the default\n"
    "                    is the tape's last frame and ten seconds (600 frames) more\n"
    "  --input TAPE      button tape: lines '<frame> <buttons>', buttons '-', UP,LEFT,DOWN,RIGHT,ACTION or 0x...\n"
    "  --poll-tape FILE  binary tape: one 4-byte little-endian button word per poll\n"
    "  --trace FILE      one JSON line per shown frame: hash and the screen's state\n"
    "  --png DIR         write shown frames as DIR/frame-000123.png (DIR is made if missing)\n"
    "  --raw DIR         write shown frames as 153600-byte RGB565 files\n"
    "  --from F          first frame to write (default 1)\n"
    "  --every K         write every K-th frame from F on (default 1)\n";

bool parse_runner_args(int argc, const char* const* argv, RunnerOptions* o, std::string* error) {
    if (!parse_options(argc, argv,
                       {final_option("--help", &o->help), final_option("-h", &o->help),
                        count_option("--frames", &o->frames), path_option("--input", &o->input_tape),
                        path_option("--poll-tape", &o->poll_tape), path_option("--trace", &o->trace),
                        path_option("--png", &o->dump.png_dir), path_option("--raw", &o->dump.raw_dir),
                        count_option("--from", &o->dump.from), count_option("--every", &o->dump.every)},
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
