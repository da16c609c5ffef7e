// Prints the status line the desktop draws for a text: 320 x 16 RGB565
// pixels, low byte first, for comparing with a screenshot of the window.
//   burrow-status-strip TEXT [highlight]
#include <cstdio>

#include "ports/desktop/status_line.h"

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    static FrameSurface strip;
    status_line_draw(argv[1], argc > 2, &strip);
    for (int i = 0; i < SCREEN_WIDTH * STATUS_ROWS; ++i) {
        std::putchar(strip.pixels[i] & 0xFF);
        std::putchar(strip.pixels[i] >> 8);
    }
    return 0;
}
