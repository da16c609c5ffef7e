#include "ports/headless/runner_options.h"

#include <cstring>

#include "ports/common/count_arg.h"

const char RUNNER_USAGE[] =
    "usage: burrowrotor-headless [--frames N] [--input TAPE | --poll-tape FILE] [--trace FILE]\n"
    "                            [--png DIR] [--raw DIR] [--from F] [--every K] [--games] [--help]\n"
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
    "  --every K         write every K-th frame from F on (default 1)\n"
    "  --games           print a JSON line for each game that ends: its number, mode, speed,\n"
    "                    score, first and crash frame, and the fingerprint of its frames\n";

namespace {

// An empty value gets its own message here; the rest is the shared reading.
bool parse_count(const char* flag, const char* text, std::uint64_t* value, std::string* error) {
    if (*text == '\0') {
        *error = std::string(flag) + " needs a whole number, got an empty value";
        return false;
    }
    return parse_count_arg(flag, text, MAX_COUNT_ARG, value, error);
}

}  // namespace

bool parse_runner_args(int argc, const char* const* argv, RunnerOptions* o, std::string* error) {
    bool have_frames = false;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) {
            o->help = true;
            return true;
        }
        if (std::strcmp(arg, "--games") == 0) {
            o->games = true;
            continue;
        }
        static const char* const WITH_VALUE[] = {"--frames", "--input", "--poll-tape", "--trace",
                                                 "--png",    "--raw",   "--from",      "--every"};
        bool known = false;
        for (const char* f : WITH_VALUE) known = known || std::strcmp(arg, f) == 0;
        if (!known) {
            *error = std::string("unknown option '") + arg + "' (see --help)";
            return false;
        }
        if (i + 1 >= argc) {
            *error = std::string(arg) + " needs a value";
            return false;
        }
        const char* value = argv[++i];
        if (std::strcmp(arg, "--frames") == 0) {
            if (!parse_count(arg, value, &o->frames, error)) return false;
            have_frames = true;
        } else if (std::strcmp(arg, "--from") == 0) {
            if (!parse_count(arg, value, &o->dump.from, error)) return false;
        } else if (std::strcmp(arg, "--every") == 0) {
            if (!parse_count(arg, value, &o->dump.every, error)) return false;
        } else {
            if (*value == '\0') {
                *error = std::string(arg) + " needs a path, got an empty value";
                return false;
            }
            std::string* slot = std::strcmp(arg, "--input") == 0       ? &o->input_tape
                                : std::strcmp(arg, "--poll-tape") == 0 ? &o->poll_tape
                                : std::strcmp(arg, "--trace") == 0     ? &o->trace
                                : std::strcmp(arg, "--png") == 0       ? &o->dump.png_dir
                                                                       : &o->dump.raw_dir;
            if (!slot->empty()) {
                *error = std::string(arg) + " given twice";
                return false;
            }
            *slot = value;
        }
    }
    if (!have_frames && o->input_tape.empty()) {
        *error = "--frames N is required without --input (see --help)";
        return false;
    }
    if (!o->input_tape.empty() && !o->poll_tape.empty()) {
        *error = "--input and --poll-tape cannot be used together";
        return false;
    }
    return true;
}
