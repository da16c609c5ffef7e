#include "ports/desktop/options.h"

#include <cstring>

#include "ports/common/count_arg.h"

const char DESKTOP_USAGE[] =
    "usage: burrowrotor [--scale N] [--fullscreen] [--show-fps] [--no-status] [--record TAPE]\n"
    "                   [--replay TAPE] [--trace FILE] [--png DIR] [--from F] [--every K]\n"
    "                   [--frames N] [--submit URL [--name NAME]] [--scores] [--help] [--version]\n"
    "       burrowrotor --submit-tape FILE --submit URL [--name NAME]\n"
    "\n"
    "Plays Burrowrotor in a window. Arrows move in the menu; Space, Enter, Left Ctrl or the\n"
    "left mouse button is the action button (hold it to climb). P, Pause or a controller's\n"
    "start button pauses and resumes (losing the window's focus pauses too). F11 toggles\n"
    "fullscreen, Esc quits (on a game controller: the d-pad, the south face button, select +\n"
    "start). The best score of each mode and speed is kept in\n"
    "$XDG_DATA_HOME/burrowrotor/best-scores.txt (~/.local/share/burrowrotor/).\n"
    "  --scale N       window size as a multiple of 320x240, 1 to 16 (default 3)\n"
    "  --fullscreen    start in fullscreen (the largest whole scale that fits, centred)\n"
    "  --show-fps      show the frame rate in the window's title bar\n"
    "  --no-status     no status line (best score, PAUSED) beneath the game\n"
    "  --record TAPE   write the buttons the game read as a button tape\n"
    "  --replay TAPE   play a button tape instead of the keyboard (Esc still quits)\n"
    "  --trace FILE    one JSON line per shown frame, as burrowrotor-headless writes it\n"
    "  --png DIR       write shown frames as DIR/frame-000123.png\n"
    "  --from F        first frame to write (default 1)\n"
    "  --every K       write every K-th frame from F on (default 1)\n"
    "  --frames N      quit after N frames have been shown\n"
    "  --submit URL    send each new best with this session's button tape to the hall of fame\n"
    "                  at URL (http or https), which replays it; prints its verdict and rank\n"
    "  --name NAME     the name on the hall's boards: 3 to 16 letters, digits, spaces, - _ .\n"
    "                  (remembered; at first the login name)\n"
    "  --submit-tape FILE  send a tape the hall could not take (kept in the data folder's\n"
    "                  unsent/) again, and exit\n"
    "  --scores        print the best scores and exit\n"
    "  --version       print the version\n";

namespace {

bool is(const char* arg, const char* flag) { return std::strcmp(arg, flag) == 0; }

}  // namespace

bool parse_desktop_args(int argc, const char* const* argv, DesktopOptions* o, std::string* error) {
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (is(arg, "--help") || is(arg, "-h")) {
            o->help = true;
            return true;
        }
        if (is(arg, "--version")) {
            o->version = true;
            return true;
        }
        if (is(arg, "--fullscreen")) {
            o->fullscreen = true;
            continue;
        }
        if (is(arg, "--show-fps")) {
            o->show_fps = true;
            continue;
        }
        if (is(arg, "--no-status")) {
            o->status_line = false;
            continue;
        }
        if (is(arg, "--scores")) {
            o->scores = true;
            continue;
        }
        static const char* const WITH_VALUE[] = {"--scale", "--record", "--replay", "--trace",  "--png",        "--from",
                                                 "--every", "--frames", "--submit", "--name",   "--submit-tape"};
        bool known = false;
        for (const char* f : WITH_VALUE) known = known || is(arg, f);
        if (!known) {
            *error = std::string("unknown option '") + arg + "' (see --help)";
            return false;
        }
        if (i + 1 >= argc) {
            *error = std::string(arg) + " needs a value";
            return false;
        }
        const char* value = argv[++i];
        if (is(arg, "--scale")) {
            std::uint64_t scale = 0;
            if (!parse_count_arg(arg, value, MAX_SCALE, &scale, error)) return false;
            o->scale = static_cast<int>(scale);
        } else if (is(arg, "--from")) {
            if (!parse_count_arg(arg, value, MAX_COUNT_ARG, &o->dump.from, error)) return false;
        } else if (is(arg, "--every")) {
            if (!parse_count_arg(arg, value, MAX_COUNT_ARG, &o->dump.every, error)) return false;
        } else if (is(arg, "--frames")) {
            if (!parse_count_arg(arg, value, MAX_COUNT_ARG, &o->frames, error)) return false;
        } else if (is(arg, "--submit") || is(arg, "--name")) {
            std::string* slot = is(arg, "--submit") ? &o->submit : &o->name;
            if (!slot->empty() || *value == '\0') {
                *error = std::string(arg) + (slot->empty() ? " needs a value, got an empty one" : " given twice");
                return false;
            }
            *slot = value;  // checked when the sender starts
        } else {
            if (*value == '\0') {
                *error = std::string(arg) + " needs a path, got an empty value";
                return false;
            }
            std::string* slot = is(arg, "--record")   ? &o->record
                                : is(arg, "--replay") ? &o->replay
                                : is(arg, "--trace")  ? &o->trace
                                : is(arg, "--png")    ? &o->dump.png_dir
                                                      : &o->submit_tape;
            if (!slot->empty()) {
                *error = std::string(arg) + " given twice";
                return false;
            }
            *slot = value;
        }
    }
    if (o->submit.empty() && (!o->submit_tape.empty() || !o->name.empty())) {
        *error = std::string(o->name.empty() ? "--submit-tape" : "--name") + " goes with --submit URL";
        return false;
    }
    return true;
}
