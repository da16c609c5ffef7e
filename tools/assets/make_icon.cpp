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
#include "assets/assets.h"
#include "ports/common/part_file.h"

#include <png.h>

#include <cerrno>
#include <cstdio>
#include <string>
#include <vector>
#include "ports/common/message.h"

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
            const unsigned r = (p >> 11) & 31, g = (p >> 5) & 63, b = p & 31;
            unsigned char* out = &rgba[static_cast<std::size_t>(((oy + y) * size + ox + x) * 4)];
            out[0] = static_cast<unsigned char>((r << 3) | (r >> 2));
            out[1] = static_cast<unsigned char>((g << 2) | (g >> 4));
            out[2] = static_cast<unsigned char>((b << 3) | (b >> 2));
            out[3] = 255;
        }
    return rgba;
}

// Written under PATH.part and renamed when complete; false with "PATH: reason".
bool write_png(const std::string& path, const std::vector<unsigned char>& rgba, int size, std::string* error) {
    PartFile out;
    if (!part_file_open(&out, path, "wb", error)) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    errno = 0;
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        *error = part_file_reason(path, errno);
        return part_file_close(&out, false, error);
    }
    png_init_io(png, out.file);
    png_set_IHDR(png, info, static_cast<png_uint_32>(size), static_cast<png_uint_32>(size), 8, PNG_COLOR_TYPE_RGBA,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_compression_level(png, 9);
    png_write_info(png, info);
    for (int y = 0; y < size; ++y) png_write_row(png, &rgba[static_cast<std::size_t>(y * size * 4)]);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return part_file_close(&out, true, error);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_icon OUTDIR\n");
        return 2;
    }
    const Box box = drawn_box(g_chopper_frame_a, CHOPPER_WIDTH, CHOPPER_HEIGHT);
    for (int size : SIZES) {
        const std::string path = std::string(argv[1]) + "/burrowrotor-" + std::to_string(size) + ".png";
        std::string error;
        if (!write_png(path, draw_icon(g_chopper_frame_a, CHOPPER_WIDTH, box, size), size, &error)) {
            say("make_icon", error);
            return 1;
        }
    }
    return 0;
}
