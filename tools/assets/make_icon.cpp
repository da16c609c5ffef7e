// Draws the application icons from the game's own chopper (g_chopper_frame_a):
// the drawn part of the frame, centred on a transparent square, every pixel
// copied whole (nearest neighbour, no blending), so the icon is the sprite the
// player flies.
//
//   make_icon OUTDIR    writes OUTDIR/burrowrotor-<size>.png for every size
//
// Where the square is at least as wide as the sprite, the sprite grows by the
// largest whole factor that fits; below that (16 and 32) each icon pixel takes
// the sprite pixel under its centre.
#include <cstdio>
#include <string>
#include <vector>

#include "assets/assets.h"
#include "ports/common/frame_files.h"
#include "ports/common/message.h"
#include "ports/common/pixels.h"

namespace {

const int SIZES[] = {16, 32, 48, 64, 128, 192, 256, 512};

struct Box {
    int x0, y0, x1, y1;  // drawn pixels lie in [x0, x1) x [y0, y1)
};

Box drawn_box(const Rgb565* image, int w, int h) {
    Box b{w, h, 0, 0};
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (image[y * w + x] != COLOR_KEY) {
                if (x < b.x0) b.x0 = x;
                if (y < b.y0) b.y0 = y;
                if (x + 1 > b.x1) b.x1 = x + 1;
                if (y + 1 > b.y1) b.y1 = y + 1;
            }
    return b;
}

// One square icon as RGBA rows: the sprite's box scaled to fit `size`.
std::vector<unsigned char> draw_icon(const Rgb565* image, int w, const Box& box, int size) {
    const int bw = box.x1 - box.x0, bh = box.y1 - box.y0;
    // Scaled width and height: a whole factor when one fits, else the square's width.
    int sw, sh;
    if (size >= bw) {
        const int k = size / bw < size / bh ? size / bw : size / bh;
        sw = bw * k;
        sh = bh * k;
    } else {
        sw = size;
        sh = (bh * size + bw - 1) / bw;
    }
    const int ox = (size - sw) / 2, oy = (size - sh) / 2;
    std::vector<unsigned char> rgba(static_cast<std::size_t>(size * size * 4), 0);
    for (int y = 0; y < sh; ++y)
        for (int x = 0; x < sw; ++x) {
            // The sprite pixel under the centre of this icon pixel.
            const int sx = box.x0 + (2 * x + 1) * bw / (2 * sw);
            const int sy = box.y0 + (2 * y + 1) * bh / (2 * sh);
            const Rgb565 p = image[sy * w + sx];
            if (p == COLOR_KEY) continue;
            const Rgb8 c = rgb8(p);
            unsigned char* out = &rgba[static_cast<std::size_t>(((oy + y) * size + ox + x) * 4)];
            out[0] = c.r;
            out[1] = c.g;
            out[2] = c.b;
            out[3] = 255;
        }
    return rgba;
}

}  // namespace

int main(int argc, char** argv) {
    need_arguments(argc, 1, "make_icon OUTDIR");
    const Box box = drawn_box(g_chopper_frame_a, CHOPPER_WIDTH, CHOPPER_HEIGHT);
    for (int size : SIZES) {
        const std::string path = std::string(argv[1]) + "/burrowrotor-" + std::to_string(size) + ".png";
        std::string error;
        const std::vector<unsigned char> icon = draw_icon(g_chopper_frame_a, CHOPPER_WIDTH, box, size);
        if (!write_png_file(path, size, size, PngColour::rgba, icon.data(), true, &error)) {
            say("make_icon", error);
            return 1;
        }
    }
    return 0;
}
