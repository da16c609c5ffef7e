// Writes every compiled-in picture, scaled 4 times, to PNG files, and a chart
// of the font with each cell labelled by its code, so the artwork can be
// looked at without running the game.
//
//   asset_preview OUTDIR
//
// Transparent pixels show as a dark checkerboard: the game draws everything
// over a black screen.
#include <cstdio>
#include <string>
#include <vector>

#include "assets/assets.h"
#include "ports/common/frame_files.h"
#include "ports/common/message.h"
#include "ports/common/pixels.h"

namespace {

struct Canvas {
    int width, height;
    std::vector<unsigned char> rgb;  // 3 bytes per pixel
    Canvas(int w, int h) : width(w), height(h), rgb(static_cast<std::size_t>(w * h * 3), 0) {}
    void set(int x, int y, unsigned r, unsigned g, unsigned b) {
        if (x < 0 || y < 0 || x >= width || y >= height) return;
        std::size_t i = static_cast<std::size_t>((y * width + x) * 3);
        rgb[i] = static_cast<unsigned char>(r);
        rgb[i + 1] = static_cast<unsigned char>(g);
        rgb[i + 2] = static_cast<unsigned char>(b);
    }
};

void set565(Canvas* c, int x, int y, Rgb565 p) {
    const Rgb8 v = rgb8(p);
    c->set(x, y, v.r, v.g, v.b);
}

void checker(Canvas* c, int x, int y, int cell) {
    unsigned v = ((x / cell + y / cell) % 2) ? 0x20 : 0x30;
    c->set(x, y, v, v, v);
}

void draw_picture(Canvas* c, const Rgb565* image, int w, int h, int ox, int oy, int scale) {
    for (int y = 0; y < h * scale; ++y)
        for (int x = 0; x < w * scale; ++x) {
            Rgb565 p = image[(y / scale) * w + x / scale];
            if (p == COLOR_KEY) checker(c, ox + x, oy + y, 8);
            else set565(c, ox + x, oy + y, p);
        }
}

// A font cell at the given scale: ink in one colour, background in another.
void draw_cell(Canvas* c, int code, int ox, int oy, int scale, unsigned ink, unsigned paper) {
    int cx = (code % 32) * 8, cy = (code / 32) * 16;
    for (int y = 0; y < 16 * scale; ++y)
        for (int x = 0; x < 8 * scale; ++x) {
            bool on = g_font_sheet[(cy + y / scale) * 256 + cx + x / scale] == 0x0000;
            unsigned v = on ? ink : paper;
            c->set(ox + x, oy + y, v >> 16, (v >> 8) & 0xFF, v & 0xFF);
        }
}

bool save(const Canvas& c, const std::string& path, std::string* error) {
    return write_png_file(path, c.width, c.height, PngColour::rgb, c.rgb.data(), false, error);
}

Canvas picture(const Rgb565* image, int w, int h) {
    Canvas c(w * 4, h * 4);
    draw_picture(&c, image, w, h, 0, 0, 4);
    return c;
}

// 16 x 16 cells at 4 times, each under its code in decimal, written with the
// font itself at normal size.
Canvas font_chart() {
    const int slot_w = 40, slot_h = 16 + 64 + 8, margin = 4;
    Canvas c(16 * slot_w + 2 * margin, 16 * slot_h + 2 * margin);
    for (int code = 0; code < 256; ++code) {
        int ox = margin + (code % 16) * slot_w, oy = margin + (code / 16) * slot_h;
        std::string label = std::to_string(code);
        for (std::size_t i = 0; i < label.size(); ++i)
            draw_cell(&c, label[i], ox + 4 + static_cast<int>(i) * 8, oy, 1, 0xA0A0A0, 0x000000);
        draw_cell(&c, code, ox + 4, oy + 16, 4, 0xFFFFFF, 0x202850);
    }
    return c;
}

}  // namespace

int main(int argc, char** argv) {
    need_arguments(argc, 1, "asset_preview OUTDIR");
    const std::string dir = argv[1];
    std::string error;
    bool ok = save(picture(g_title_image, TITLE_WIDTH, TITLE_HEIGHT), dir + "/title.png", &error) &&
              save(picture(g_coin_image, COIN_SIZE, COIN_SIZE), dir + "/coin.png", &error) &&
              save(picture(g_chopper_frame_a, CHOPPER_WIDTH, CHOPPER_HEIGHT), dir + "/chopper_a.png", &error) &&
              save(picture(g_chopper_frame_b, CHOPPER_WIDTH, CHOPPER_HEIGHT), dir + "/chopper_b.png", &error) &&
              save(font_chart(), dir + "/font.png", &error);
    if (!ok) {
        say("asset_preview", error);
        return 1;
    }
    return 0;
}
