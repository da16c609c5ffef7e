// Burrowrotor on the handheld: no arguments, no environment, no files of its
// own. It runs until it is killed; it stops by itself only when the display is
// missing, with status 1 and the reason on stderr.
#include "game/loop.h"
#include "ports/handheld/device.h"

int main() {
    if (!device_start_up()) return 1;
    run_game_loop();
}
