// burrowrotor: the game in a desktop window, with keyboard, mouse and game
// controllers, recording and replay.
#include <cstdio>
#include <string>

#include "ports/common/message.h"
#include "ports/common/options.h"
#include "ports/desktop/port.h"
#include "ports/desktop/scores.h"

namespace {

const char USAGE[] =
    "usage: burrowrotor [--scale N] [--fullscreen] [--show-fps] [--no-status] [--record TAPE]\n"
    "                   [--replay TAPE] [--trace FILE] [--png DIR] [--from F] [--every K]\n"
    "                   [--frames N] [--scores] [--help] [--version]\n"
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
    "  --scores        print the best scores and exit\n"
    "  --version       print the version\n";

}  // namespace

int main(int argc, char** argv) {
    DesktopOptions o;
    std::string error;
    if (!parse_options(argc, argv,
                       {final_option("--help", &o.help), final_option("-h", &o.help),
                        final_option("--version", &o.version), switch_option("--fullscreen", &o.fullscreen),
                        switch_option("--show-fps", &o.show_fps), switch_option("--no-status", &o.hide_status),
                        switch_option("--scores", &o.scores), count_option("--scale", &o.scale, MAX_SCALE),
                        path_option("--record", &o.record), path_option("--replay", &o.replay),
                        path_option("--trace", &o.trace), path_option("--png", &o.dump.png_dir),
                        count_option("--from", &o.dump.from), count_option("--every", &o.dump.every),
                        count_option("--frames", &o.frames)},
                       &error)) {
        say("burrowrotor", error);
        return 2;
    }
    if (o.help) {
        std::fputs(USAGE, stdout);
        return 0;
    }
    if (o.version) {
        std::puts("burrowrotor " BURROW_VERSION);
        return 0;
    }
    if (o.scores) return scores_print();
    run_port(o);
}
