// Tells what a screenshot of the desktop window at x3 shows (raw 8-bit RGB
// on stdin, from the window's top-left corner), by the game's own code:
//   burrow-window-shot frame < SHOT.rgb
//     prints the hash of the 320x240 frame, as the trace writes it;
//   burrow-window-shot line TEXT [highlight] < LINE.rgb
//     exits 0 when the 16 rows are the status line the desktop draws for TEXT;
//   burrow-window-shot ink < LINE.rgb
//     prints the first column of the line with ink, and its RGB565 colour.
#include <cstdio>
#include <cstring>

#include "ports/common/frame_hash.h"
#include "ports/desktop/video.h"

namespace {

constexpr int SCALE = 3;

// The RGB565 pixels behind `rows` rows of the frame: the top bits of each
// channel, however the renderer widened them to 8 bits. A blurred or
// misplaced picture gives other pixels, so the hash or the line tells it.
bool read_shot(int rows, FrameSurface* out) {
    static unsigned char row[SCREEN_WIDTH * SCALE * 3];
    for (int y = 0; y < rows * SCALE; ++y) {
        if (std::fread(row, sizeof row, 1, stdin) != 1) return false;
        if (y % SCALE != 0) continue;
        for (int x = 0; x < SCREEN_WIDTH; ++x) {
            const unsigned char* p = row + 3 * SCALE * x;
            out->pixels[y / SCALE * SCREEN_WIDTH + x] = static_cast<Rgb565>((p[0] >> 3) << 11 | (p[1] >> 2) << 5 | p[2] >> 3);
        }
    }
    return std::fgetc(stdin) == EOF;
}

}  // namespace

int main(int argc, char** argv) {
    static FrameSurface shot, drawn;
    if (argc == 2 && std::strcmp(argv[1], "frame") == 0 && read_shot(SCREEN_HEIGHT, &shot)) {
        std::printf("%016llx\n", static_cast<unsigned long long>(frame_hash(&shot)));
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "ink") == 0 && read_shot(STATUS_ROWS, &shot)) {
        for (int x = 0; x < SCREEN_WIDTH; ++x)
            for (int y = 0; y < STATUS_ROWS; ++y)
                if (shot.pixels[y * SCREEN_WIDTH + x] != 0) return std::printf("%d %04X\n", x, shot.pixels[y * SCREEN_WIDTH + x]) < 0;
        return 1;
    }
    if (argc < 3 || std::strcmp(argv[1], "line") != 0 || !read_shot(STATUS_ROWS, &shot)) return 2;
    status_line_draw(argv[2], argc > 3, &drawn);
    return std::memcmp(shot.pixels, drawn.pixels, sizeof(Rgb565) * SCREEN_WIDTH * STATUS_ROWS) == 0 ? 0 : 1;
}
