// Renders the title picture: "Burrowrotor" in bulging yellow letters with an
// orange-to-red rim, a dark-red drop shadow and a chain of red lamps through
// the middle of the letters, 300 x 78 RGB565 with COLOR_KEY around it.
//
//   make_title FONT.ttf OUT.cpp        (the game uses DejaVu Sans Bold)
//
// The letters are rendered with FreeType at four times the final size; every
// final pixel is the average of its 4 x 4 samples, each sample coloured by its
// distance to the letter edge (the bulge inside, the rim outside). Pixels that
// are mostly background stay transparent.
#include <ft2build.h>
#include FT_FREETYPE_H

#include "art_io.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>
#include "ports/common/message.h"

namespace {

constexpr int WIDTH = 300, HEIGHT = 78;
constexpr int LETTERING_HEIGHT = 76;  // rows 0-75; the last two rows stay clear
constexpr int SS = 4;                 // samples per pixel along each axis
constexpr int W4 = WIDTH * SS, H4 = HEIGHT * SS;
constexpr double RIM = 3.0 * SS;      // width of the orange-red rim, in samples
constexpr int SHADOW = 3 * SS;        // shadow offset right and down, in samples
constexpr double BULGE = 3.0 * SS;    // how far in from the edge the letters curve
const char* const TEXT = "Burrowrotor";

struct Rgb { double r, g, b; };  // RGB565 channels: r and b 0-31, g 0-63

Rgb mix(Rgb a, Rgb b, double t) { return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t}; }
Rgb rgb(Pixel p) { return {double(p >> 11), double((p >> 5) & 63), double(p & 31)}; }

const Rgb YELLOW = rgb(0xFF40), PALE = rgb(0xFFF0), DEEP = rgb(0xE4A0);
const Rgb ORANGE = rgb(0xFCA0), RED = rgb(0xD800), DARK_RED = rgb(0x8000), SHADOW_RED = rgb(0x4000);

// Squared Euclidean distance transform along one line (Felzenszwalb and
// Huttenlocher): f holds 0 at feature samples and a large value elsewhere.
void edt_line(std::vector<double>& f) {
    const int n = static_cast<int>(f.size());
    if (n == 0) return;
    std::vector<double> d(f.size()), z(f.size() + 1);
    std::vector<int> v(f.size());
    int k = 0;
    v[0] = 0;
    z[0] = -1e30;
    z[1] = 1e30;
    for (int q = 1; q < n; ++q) {
        double s;
        for (;;) {
            int p = v[static_cast<std::size_t>(k)];
            s = ((f[static_cast<std::size_t>(q)] + q * q) - (f[static_cast<std::size_t>(p)] + p * p)) / (2.0 * (q - p));
            if (s > z[static_cast<std::size_t>(k)] || k == 0) break;
            --k;
        }
        if (s <= z[static_cast<std::size_t>(k)]) {
            v[0] = q;
            z[0] = -1e30;
            z[1] = 1e30;
            k = 0;
            continue;
        }
        ++k;
        v[static_cast<std::size_t>(k)] = q;
        z[static_cast<std::size_t>(k)] = s;
        z[static_cast<std::size_t>(k) + 1] = 1e30;
    }
    k = 0;
    for (int q = 0; q < n; ++q) {
        while (z[static_cast<std::size_t>(k) + 1] < q) ++k;
        int p = v[static_cast<std::size_t>(k)];
        d[static_cast<std::size_t>(q)] = (q - p) * (q - p) + f[static_cast<std::size_t>(p)];
    }
    f = d;
}

// Distance from every sample to the nearest sample where `feature` is set.
std::vector<double> distance_to(const std::vector<bool>& feature) {
    std::vector<double> g(feature.size());
    for (std::size_t i = 0; i < g.size(); ++i) g[i] = feature[i] ? 0.0 : 1e12;
    std::vector<double> line;
    for (int y = 0; y < H4; ++y) {
        line.assign(g.begin() + y * W4, g.begin() + (y + 1) * W4);
        edt_line(line);
        std::copy(line.begin(), line.end(), g.begin() + y * W4);
    }
    line.resize(H4);
    for (int x = 0; x < W4; ++x) {
        for (int y = 0; y < H4; ++y) line[static_cast<std::size_t>(y)] = g[static_cast<std::size_t>(y * W4 + x)];
        edt_line(line);
        for (int y = 0; y < H4; ++y) g[static_cast<std::size_t>(y * W4 + x)] = line[static_cast<std::size_t>(y)];
    }
    for (double& v : g) v = std::sqrt(v);
    return g;
}

struct Ink {
    std::vector<unsigned char> cover;  // W4 x H4 coverage of the letters
    int x0, y0, x1, y1;                // bounding box of the ink, inclusive
};

// Draws the text at the given character width and height (in samples) with
// its pen starting at (pen_x, baseline).
Ink render(FT_Face face, double char_w, double char_h, double pen_x, double baseline) {
    Ink ink{std::vector<unsigned char>(static_cast<std::size_t>(W4 * H4), 0), W4, H4, -1, -1};
    FT_Set_Char_Size(face, static_cast<FT_F26Dot6>(std::lround(char_w * 64)), static_cast<FT_F26Dot6>(std::lround(char_h * 64)), 72, 72);
    FT_UInt previous = 0;
    double pen = pen_x;
    for (const char* c = TEXT; *c; ++c) {
        FT_UInt index = FT_Get_Char_Index(face, static_cast<FT_ULong>(*c));
        if (previous) {
            FT_Vector kern;
            FT_Get_Kerning(face, previous, index, FT_KERNING_UNFITTED, &kern);
            pen += static_cast<double>(kern.x) / 64.0;
        }
        FT_Vector offset = {static_cast<FT_Pos>(std::lround((pen - std::floor(pen)) * 64)), 0};
        FT_Set_Transform(face, nullptr, &offset);
        FT_Load_Glyph(face, index, FT_LOAD_NO_HINTING | FT_LOAD_RENDER);
        const FT_Bitmap& b = face->glyph->bitmap;
        int left = static_cast<int>(std::floor(pen)) + face->glyph->bitmap_left;
        int top = static_cast<int>(std::lround(baseline)) - face->glyph->bitmap_top;
        for (unsigned r = 0; r < b.rows; ++r)
            for (unsigned col = 0; col < b.width; ++col) {
                int x = left + static_cast<int>(col), y = top + static_cast<int>(r);
                unsigned char v = b.buffer[r * static_cast<unsigned>(b.pitch) + col];
                if (x < 0 || y < 0 || x >= W4 || y >= H4 || v < 128) continue;
                std::size_t i = static_cast<std::size_t>(y * W4 + x);
                ink.cover[i] = std::max(ink.cover[i], v);
                ink.x0 = std::min(ink.x0, x), ink.x1 = std::max(ink.x1, x);
                ink.y0 = std::min(ink.y0, y), ink.y1 = std::max(ink.y1, y);
            }
        pen += static_cast<double>(face->glyph->advance.x) / 64.0;
        previous = index;
    }
    FT_Set_Transform(face, nullptr, nullptr);
    return ink;
}

// Places the letters so that, with the rim on every side and the shadow to
// the right and below, they fill columns 0-299 and rows 0-75 exactly.
Ink fit(FT_Face face) {
    const double want_w = W4 - 2 * RIM - SHADOW, want_h = LETTERING_HEIGHT * SS - 2 * RIM - SHADOW;
    double cw = 160, ch = 160, pen = 0, base = H4 * 0.8;
    Ink ink{};
    for (int round = 0; round < 6; ++round) {
        ink = render(face, cw, ch, pen, base);
        // Sizes scale the ink about the pen and the baseline.
        double sx = want_w / (ink.x1 - ink.x0 + 1), sy = want_h / (ink.y1 - ink.y0 + 1);
        cw *= sx;
        ch *= sy;
        pen = RIM - (ink.x0 - pen) * sx;
        base = RIM - (ink.y0 - base) * sy;
    }
    return render(face, cw, ch, pen, base);
}

}  // namespace

int main(int argc, char** argv) {
    need_arguments(argc, 2, "make_title FONT.ttf OUT.cpp");
    refuse_overwriting_inputs("make_title", {{"OUT.cpp", argv[2], true}, {"FONT.ttf", argv[1], false}});
    FT_Library lib;
    FT_Face face;
    if (FT_Init_FreeType(&lib) != 0) {
        say("make_title", "cannot start FreeType");
        return 1;
    }
    if (FT_New_Face(lib, argv[1], 0, &face) != 0) {
        say("make_title", std::string("cannot open ") + argv[1]);
        FT_Done_FreeType(lib);
        return 1;
    }
    const Ink ink = fit(face);
    const std::size_t n = static_cast<std::size_t>(W4 * H4);
    std::vector<bool> inside(n), outside(n);
    for (std::size_t i = 0; i < n; ++i) inside[i] = ink.cover[i] >= 128, outside[i] = !inside[i];
    const std::vector<double> to_outside = distance_to(outside);  // depth inside a letter
    const std::vector<double> to_inside = distance_to(inside);    // distance out from a letter
    auto at = [](const std::vector<double>& v, int x, int y) {
        x = std::clamp(x, 0, W4 - 1), y = std::clamp(y, 0, H4 - 1);
        return v[static_cast<std::size_t>(y * W4 + x)];
    };
    auto lettered = [&](int x, int y) {  // letter or rim
        return x >= 0 && y >= 0 && x < W4 && y < H4 && at(to_inside, x, y) <= RIM;
    };

    // Light from the upper left, a little in front of the picture.
    const double lx = -0.55, ly = -0.6, lz = 0.58;
    const double flat = lz;  // how lit a flat letter face is: exactly 0xFF40

    // Each sample: 0 background, 1 coloured (with its colour).
    std::vector<Rgb> colour(n);
    std::vector<bool> filled(n, false);
    for (int y = 0; y < H4; ++y)
        for (int x = 0; x < W4; ++x) {
            std::size_t i = static_cast<std::size_t>(y * W4 + x);
            if (inside[i]) {
                double d = to_outside[i];
                Rgb c = YELLOW;
                if (d < BULGE) {
                    // A quarter-round edge: the surface tilts from upright at
                    // the letter's edge to level where it is BULGE deep.
                    double gx = (at(to_outside, x + 1, y) - at(to_outside, x - 1, y)) / 2;
                    double gy = (at(to_outside, x, y + 1) - at(to_outside, x, y - 1)) / 2;
                    double gl = std::sqrt(gx * gx + gy * gy);
                    if (gl > 1e-9) gx /= gl, gy /= gl;
                    double u = 1 - d / BULGE;                 // 1 at the edge, 0 at the top
                    double slope = u / std::sqrt(std::max(1e-6, 1 - u * u * 0.97));
                    double nx = -gx * slope, ny = -gy * slope, nz = 1;
                    double nl = std::sqrt(nx * nx + ny * ny + nz * nz);
                    double lit = (nx * lx + ny * ly + nz * lz) / nl;
                    // Faces turned only a little keep the flat yellow, so the
                    // shading shows at the rounded edges.
                    if (std::fabs(lit - flat) < 0.06) c = YELLOW;
                    else if (lit > flat) c = mix(YELLOW, PALE, std::min(1.0, (lit - flat) / (1 - flat) * 1.6));
                    else c = mix(YELLOW, DEEP, std::min(1.0, (flat - lit) / (flat + 0.6) * 1.5));
                }
                colour[i] = c;
                filled[i] = true;
            } else if (to_inside[i] <= RIM) {
                double s = to_inside[i] / RIM;  // 0 at the letter, 1 at the rim's outer edge
                colour[i] = s < 0.45 ? mix(ORANGE, RED, s / 0.45) : mix(RED, DARK_RED, (s - 0.45) / 0.55);
                filled[i] = true;
            } else if (lettered(x - SHADOW, y - SHADOW)) {
                colour[i] = SHADOW_RED;
                filled[i] = true;
            }
        }

    std::vector<Pixel> out(static_cast<std::size_t>(WIDTH * HEIGHT), 0xFFFE);
    for (int py = 0; py < HEIGHT; ++py)
        for (int px = 0; px < WIDTH; ++px) {
            Rgb sum{0, 0, 0};
            int count = 0;
            for (int sy = 0; sy < SS; ++sy)
                for (int sx = 0; sx < SS; ++sx) {
                    std::size_t i = static_cast<std::size_t>((py * SS + sy) * W4 + px * SS + sx);
                    if (!filled[i]) continue;
                    sum.r += colour[i].r, sum.g += colour[i].g, sum.b += colour[i].b;
                    ++count;
                }
            if (count * 2 < SS * SS) continue;  // mostly background: transparent
            // Partly covered pixels darken towards the black screen behind.
            double k = count / double(SS * SS) / count;
            long r = std::lround(sum.r * k), g = std::lround(sum.g * k), b = std::lround(sum.b * k);
            out[static_cast<std::size_t>(py * WIDTH + px)] = static_cast<Pixel>((r << 11) | (g << 5) | b);
        }

    // The lamps: a row of small red lights along the middle of the lower-case
    // letters, one in the middle of every stroke that row crosses.
    auto depth_px = [&](int px, int py) { return at(to_outside, px * SS + SS / 2, py * SS + SS / 2) / SS; };
    // Halfway between the x-height and the baseline: 0.63 of the way down
    // from the top of the capital to the baseline in this face.
    const int lamp_row = (ink.y0 + (ink.y1 - ink.y0) * 63 / 100) / SS;
    for (int px = 0; px < WIDTH;) {
        if (depth_px(px, lamp_row) < 2.2) {
            ++px;
            continue;
        }
        int start = px;
        while (px < WIDTH && depth_px(px, lamp_row) >= 2.2) ++px;
        int cx = (start + px - 1) / 2, cy = lamp_row;
        for (int dy = -2; dy <= 2; ++dy)
            for (int dx = -2; dx <= 2; ++dx) {
                int dd = dx * dx + dy * dy;
                Pixel& p = out[static_cast<std::size_t>((cy + dy) * WIDTH + cx + dx)];
                if (dd <= 1) p = 0xF800;                               // the lamp
                else if (dd == 2) p = dx < 0 && dy < 0 ? 0xFB2C : 0xB800;  // glass, a glint up left
                else if (dd == 4) p = 0xC9A0;                         // its rim
            }
    }

    write_data_file(argv[2], "tools/assets/make_title from DejaVu Sans Bold",
                    {{"g_title_image", "The title: \"Burrowrotor\" in bulging yellow letters, 300 x 78.", out}});
    return 0;
}
