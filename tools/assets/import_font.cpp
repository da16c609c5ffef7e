// One-off importer: builds the editable font source (assets/src/font.txt, one
// 8 x 16 text-art cell per character code) from the public-domain X11
// "misc-fixed" 8x13 bitmap fonts that Debian ships in xfonts-base.
//
//   import_font BOLD.pcf.gz REGULAR.pcf.gz OUT.txt
//
// The 13-row glyphs are fitted to the game's cell: one row is taken out of
// the letter body so that capitals stand 9 rows tall (cell rows 2-10) and the
// x-height is 6 rows (5-10); glyphs move one column right so that column 0
// stays empty and spaces the letters apart. Box drawing is stretched to the
// full 16 rows so that frames join up; shades and blocks are drawn here. After
// importing, font.txt is the source: edit it by hand, not this tool's output.
#include <ft2build.h>
#include FT_FREETYPE_H

#include <array>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "art_io.h"
#include "ports/common/part_file.h"

namespace {

using Cell = std::array<std::array<bool, 8>, 16>;
using Glyph13 = std::array<std::array<bool, 8>, 13>;

// Unicode code point of every cell, in the PC code-page layout: symbol
// pictures, ASCII, Cyrillic capitals and small letters around the shades and
// box drawing, then mathematical signs. 0 means the cell stays blank or is
// drawn by this tool.
constexpr unsigned CODE_POINTS[256] = {
    0, 0x263A, 0x263B, 0x2665, 0x2666, 0x2663, 0x2660, 0x2022, 0x25D8, 0x25CB, 0x25D9, 0x2642, 0x2640, 0x266A, 0x266B, 0x263C,
    0x25BA, 0x25C4, 0x2195, 0x203C, 0x00B6, 0x00A7, 0x25AC, 0x21A8, 0x2191, 0x2193, 0x2192, 0x2190, 0x221F, 0x2194, 0x25B2, 0x25BC,
    // 32-127 filled in below: ASCII and the house
};

unsigned code_point(int code) {
    if (code < 32) return CODE_POINTS[code];
    if (code < 127) return static_cast<unsigned>(code);
    if (code == 127) return 0x2302;
    if (code < 176) return 0x0410 + static_cast<unsigned>(code - 128);  // А-Я, а-п
    if (code >= 224 && code < 240) return 0x0440 + static_cast<unsigned>(code - 224);  // р-я
    static const unsigned box[48] = {
        0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556, 0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510,
        0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F, 0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567,
        0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B, 0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580};
    if (code < 224) return box[code - 176];
    static const unsigned signs[16] = {0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248,
                                       0x00B0, 0x2219, 0x00B7, 0x221A, 0x00A9, 0x00B2, 0x25A0, 0};
    return signs[code - 240];
}

bool load(FT_Face face, unsigned cp, Glyph13* out) {
    FT_UInt index = FT_Get_Char_Index(face, cp);
    if (index == 0) return false;
    if (FT_Load_Glyph(face, index, FT_LOAD_RENDER | FT_LOAD_MONOCHROME | FT_LOAD_TARGET_MONO)) return false;
    const FT_Bitmap& b = face->glyph->bitmap;
    // The fonts are 8 x 13 cells with an ascent of 11: place each bitmap by
    // its offsets so that every glyph shares one baseline.
    Glyph13 g{};
    int top = 11 - face->glyph->bitmap_top;
    for (unsigned r = 0; r < b.rows; ++r) {
        for (unsigned c = 0; c < b.width; ++c) {
            int y = top + static_cast<int>(r), x = face->glyph->bitmap_left + static_cast<int>(c);
            if (y < 0 || y >= 13 || x < 0 || x >= 8) continue;
            g[y][x] = (b.buffer[r * static_cast<unsigned>(b.pitch) + c / 8] >> (7 - c % 8)) & 1;
        }
    }
    *out = g;
    return true;
}

// The row to take out: a row of the body (4-10, else 1-10) that repeats a
// neighbour, nearest the middle; failing that, the one most like its
// neighbour.
int row_to_drop(const Glyph13& g) {
    auto diff = [&](int a, int b) {
        int n = 0;
        for (int c = 0; c < 8; ++c) n += g[a][c] != g[b][c];
        return n;
    };
    int best = -1, best_score = 1 << 30;
    for (int pass = 0; pass < 2 && best < 0; ++pass) {
        int lo = pass == 0 ? 4 : 1;
        for (int r = lo; r <= 10; ++r) {
            bool dup = (r > lo && diff(r, r - 1) == 0) || (r < 10 && diff(r, r + 1) == 0);
            if (!dup) continue;
            int score = std::abs(2 * r - 15);
            if (score < best_score) best = r, best_score = score;
        }
    }
    if (best >= 0) return best;
    for (int r = 4; r <= 10; ++r) {
        int score = diff(r, r - 1) * 16 + std::abs(2 * r - 15);
        if (score < best_score) best = r, best_score = score;
    }
    return best;
}

bool uses_column_zero(int code) {
    switch (code) {
        case '"': case '#': case '%': case '&': case '*': case '^': case '_': case '~': return true;
        default: return false;
    }
}

Cell fit_text(const Glyph13& g, int code) {
    Cell cell{};
    int drop = row_to_drop(g);
    for (int r = 0; r < 13; ++r) {
        if (r == drop) continue;
        int y = r < drop ? r + 1 : r;
        cell[y] = g[r];
    }
    bool col7 = false;
    for (int r = 0; r < 16; ++r) col7 = col7 || cell[r][7];
    if (!uses_column_zero(code) && !col7) {
        for (int r = 0; r < 16; ++r) {
            for (int c = 7; c > 0; --c) cell[r][c] = cell[r][c - 1];
            cell[r][0] = false;
        }
    }
    return cell;
}

// Box drawing: the glyph's top and bottom rows carry on to the cell's edges.
Cell stretch(const Glyph13& g) {
    Cell cell{};
    for (int y = 0; y < 16; ++y) {
        int r = y - 1;
        if (r < 0) r = 0;
        if (r > 12) r = 12;
        cell[y] = g[r];
    }
    return cell;
}

Cell placed(const Glyph13& g) {
    Cell cell{};
    for (int r = 0; r < 13; ++r) cell[r + 1] = g[r];
    return cell;
}

Cell drawn(int code) {
    Cell cell{};
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 8; ++x) {
            bool ink = false;
            switch (code) {
                case 176: ink = y % 2 == 0 && x % 2 == (y / 2) % 2; break;   // light shade, a quarter
                case 177: ink = (x + y) % 2 == 0; break;                      // medium shade, a half
                case 178: ink = !(y % 2 == 1 && x % 2 == (y / 2) % 2); break;  // dark shade, three quarters
                case 219: ink = true; break;                                                       // full block
                case 220: ink = y >= 8; break;                                                     // lower half
                case 221: ink = x < 4; break;                                                      // left half
                case 222: ink = x >= 4; break;                                                     // right half
                case 223: ink = y < 8; break;                                                      // upper half
                case 255: ink = (y == 9 || y == 10) && (x == 3 || x == 4); break;                  // small mark
                default: break;
            }
            cell[y][x] = ink;
        }
    }
    return cell;
}

void put_utf8(std::FILE* f, unsigned cp) {
    if (cp < 0x80) std::fputc(static_cast<int>(cp), f);
    else if (cp < 0x800) std::fprintf(f, "%c%c", 0xC0 | (cp >> 6), 0x80 | (cp & 0x3F));
    else std::fprintf(f, "%c%c%c", 0xE0 | (cp >> 12), 0x80 | ((cp >> 6) & 0x3F), 0x80 | (cp & 0x3F));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: import_font BOLD.pcf.gz REGULAR.pcf.gz OUT.txt\n");
        return 2;
    }
    refuse_overwriting_inputs("import_font", {{"OUT.txt", argv[3], true}, {"BOLD.pcf.gz", argv[1], false},
                                              {"REGULAR.pcf.gz", argv[2], false}});
    FT_Library lib;
    FT_Face bold, regular;
    if (FT_Init_FreeType(&lib) || FT_New_Face(lib, argv[1], 0, &bold) || FT_New_Face(lib, argv[2], 0, &regular)) {
        std::fprintf(stderr, "import_font: cannot open the fonts\n");
        return 1;
    }
    PartFile file;
    std::string error;
    if (!part_file_open(&file, argv[3], "wb", &error)) {
        std::fprintf(stderr, "import_font: %s\n", error.c_str());
        return 1;
    }
    std::FILE* out = file.file;
    std::fprintf(out,
                 "# Burrowrotor font: 256 cells of 8 x 16 pixels, '#' ink, '.' background.\n"
                 "# Each cell is a line \"cell CODE ...\" (decimal code, the rest a note) and 16 rows.\n"
                 "# Letters, digits and signs: capitals rows 2-10, x-height rows 5-10, descenders\n"
                 "# rows 11-12; column 0 stays empty except in \" # %% & * ^ _ ~.\n");
    for (int code = 0; code < 256; ++code) {
        unsigned cp = code_point(code);
        Cell cell{};
        Glyph13 g{};
        bool box = (code >= 179 && code <= 218) || code == 244 || code == 245;
        bool picture = (code >= 1 && code < 32) || code == 127;
        if (code == 0 || code == 32) {
            // blank
        } else if ((code >= 176 && code <= 178) || (code >= 219 && code <= 223) || code == 255) {
            cell = drawn(code);
        } else if (box || picture) {
            if (!load(regular, cp, &g)) std::fprintf(stderr, "import_font: no glyph for U+%04X\n", cp);
            cell = box ? stretch(g) : placed(g);
        } else {
            if (!load(bold, cp, &g) && !load(regular, cp, &g)) std::fprintf(stderr, "import_font: no glyph for U+%04X\n", cp);
            cell = fit_text(g, code);
        }
        std::fprintf(out, "cell %d", code);
        if (cp >= 0x20) {
            std::fprintf(out, " U+%04X ", cp);
            put_utf8(out, cp);
        }
        std::fprintf(out, "\n");
        for (int y = 0; y < 16; ++y) {
            for (int x = 0; x < 8; ++x) std::fputc(cell[y][x] ? '#' : '.', out);
            std::fputc('\n', out);
        }
    }
    if (part_file_close(&file, true, &error)) return 0;
    std::fprintf(stderr, "import_font: %s\n", error.c_str());
    return 1;
}
