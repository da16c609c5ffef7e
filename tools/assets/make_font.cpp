// Builds the font sheet array from its text-art source.
//
//   make_font assets/src/font.txt OUT.cpp
//
// The source holds 256 cells in code order, each a line "cell CODE ..."
// followed by 16 rows of 8 characters: '#' is ink (0x0000), '.' background
// (COLOR_KEY). The sheet is 8 rows of 32 cells; code c sits at sheet column
// (c mod 32) * 8 and sheet row (c div 32) * 16.
#include "art_io.h"
#include "ports/common/message.h"

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    need_arguments(argc, 2, "make_font FONT.txt OUT.cpp");
    refuse_overwriting_inputs("make_font", {{"OUT.cpp", argv[2], true}, {"FONT.txt", argv[1], false}});
    const std::string path = argv[1];
    std::vector<std::string> lines = read_lines(path);
    std::vector<Pixel> sheet(256 * 128, 0xFFFE);
    std::vector<bool> seen(256, false);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (line.empty() || line.compare(0, 2, "# ") == 0) continue;  // comments; cell rows hold no space
        if (line.compare(0, 5, "cell ") != 0) fail(path, static_cast<int>(i + 1), "expected \"cell CODE\"");
        int code = std::atoi(line.c_str() + 5);
        if (code < 0 || code > 255 || seen[static_cast<std::size_t>(code)]) fail(path, static_cast<int>(i + 1), "bad or repeated code");
        seen[static_cast<std::size_t>(code)] = true;
        if (i + 16 >= lines.size()) fail(path, static_cast<int>(i + 1), "cell cut short");
        for (int r = 0; r < 16; ++r) {
            const std::string& row = lines[i + 1 + static_cast<std::size_t>(r)];
            if (row.size() != 8 || row.find_first_not_of("#.") != std::string::npos)
                fail(path, static_cast<int>(i + 2 + static_cast<std::size_t>(r)), "a cell row is 8 of '#' and '.'");
            for (int c = 0; c < 8; ++c) {
                int x = (code % 32) * 8 + c, y = (code / 32) * 16 + r;
                sheet[static_cast<std::size_t>(y * 256 + x)] = row[static_cast<std::size_t>(c)] == '#' ? 0x0000 : 0xFFFE;
            }
        }
        i += 16;
    }
    for (int code = 0; code < 256; ++code)
        if (!seen[static_cast<std::size_t>(code)]) fail(path, 0, "missing cell " + std::to_string(code));
    write_data_file(argv[2], "tools/assets/make_font from assets/src/font.txt",
                    {{"g_font_sheet", "The font: 256 cells of 8 x 16, 0x0000 ink, COLOR_KEY background.", sheet}});
    return 0;
}
