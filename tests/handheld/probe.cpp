// A stand-in for the game on the emulated handheld: it starts up exactly as
// the game does, then shows N frames whose content a test can predict (frame
// i filled with i, pixels 0-1 the button word polled for it) and exits 0.
//   handheld_probe N
#include <cstdlib>

#include "platform/display.h"
#include "platform/platform.h"
#include "ports/handheld/device.h"
#include "tests/handheld/probe_frame.h"

int main(int argc, char** argv) {
    if (!device_start_up()) return 1;
    const int count = argc > 1 ? std::atoi(argv[1]) : 10;
    std::uint32_t word = 0;
    for (int i = 1; i <= count; ++i) {
        platform_read_buttons(&word);
        fill_probe_frame(g_draw_target, static_cast<std::uint16_t>(i), word);
        flip_screen();
    }
    return 0;
}
