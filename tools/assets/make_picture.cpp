// Builds picture arrays from a text-art source: one character per pixel and a
// legend per file.
//
//   make_picture SOURCE.txt OUT.cpp
//
// Source lines:
//   # ...                       a comment
//   colour C RGB565 note        legend: character C stands for that value
//   picture NAME W H note       a picture of W x H: H rows of W characters follow,
//                               or "copy OTHER" and then "row N <W characters>"
//                               lines that replace rows of an earlier picture
// Each picture becomes `const Rgb565 NAME[W * H]`, its note the comment above.
#include "art_io.h"
#include "ports/common/message.h"

#include <cstdio>
#include <map>
#include <sstream>
#include <string>

namespace {

struct Picture {
    int width = 0, height = 0;
    std::vector<Pixel> pixels;
};

void decode_row(const std::string& path, int line, const std::string& text, int width,
                const std::map<char, Pixel>& legend, Pixel* out) {
    if (static_cast<int>(text.size()) != width) fail(path, line, "row is not " + std::to_string(width) + " characters");
    for (int x = 0; x < width; ++x) {
        auto it = legend.find(text[static_cast<std::size_t>(x)]);
        if (it == legend.end()) fail(path, line, std::string("no colour for '") + text[static_cast<std::size_t>(x)] + "'");
        out[x] = it->second;
    }
}

}  // namespace

int main(int argc, char** argv) {
    need_arguments(argc, 2, "make_picture SOURCE.txt OUT.cpp");
    refuse_overwriting_inputs("make_picture", {{"OUT.cpp", argv[2], true}, {"SOURCE.txt", argv[1], false}});
    const std::string path = argv[1];
    std::vector<std::string> lines = read_lines(path);
    std::map<char, Pixel> legend;
    std::map<std::string, Picture> done;
    std::vector<ArrayOut> arrays;
    std::size_t i = 0;
    while (i < lines.size()) {
        const std::string& line = lines[i];
        const int lineno = static_cast<int>(i + 1);
        ++i;
        if (line.empty() || line[0] == '#') continue;
        std::istringstream words(line);
        std::string keyword;
        words >> keyword;
        if (keyword == "colour") {
            std::string symbol, value;
            words >> symbol >> value;
            Pixel p;
            if (symbol.size() != 1 || !parse_hex(value, &p)) fail(path, lineno, "expected \"colour C RGB565\"");
            if (legend.count(symbol[0])) fail(path, lineno, "colour given twice");
            legend[symbol[0]] = p;
        } else if (keyword == "picture") {
            std::string name;
            Picture pic;
            words >> name >> pic.width >> pic.height;
            if (name.empty() || pic.width <= 0 || pic.height <= 0) fail(path, lineno, "expected \"picture NAME W H\"");
            std::string note;
            std::getline(words, note);
            note.erase(0, note.find_first_not_of(' '));
            pic.pixels.assign(static_cast<std::size_t>(pic.width * pic.height), 0);
            if (i < lines.size() && lines[i].compare(0, 5, "copy ") == 0) {
                auto from = done.find(lines[i].substr(5));
                if (from == done.end() || from->second.width != pic.width || from->second.height != pic.height)
                    fail(path, static_cast<int>(i + 1), "copy of an unknown picture or one of another size");
                pic.pixels = from->second.pixels;
                ++i;
                while (i < lines.size() && lines[i].compare(0, 4, "row ") == 0) {
                    std::istringstream row(lines[i].substr(4));
                    int y = -1;
                    std::string text;
                    row >> y >> text;
                    if (y < 0 || y >= pic.height) fail(path, static_cast<int>(i + 1), "row number outside the picture");
                    decode_row(path, static_cast<int>(i + 1), text, pic.width, legend,
                               &pic.pixels[static_cast<std::size_t>(y * pic.width)]);
                    ++i;
                }
            } else {
                for (int y = 0; y < pic.height; ++y, ++i) {
                    if (i >= lines.size()) fail(path, lineno, "picture cut short");
                    decode_row(path, static_cast<int>(i + 1), lines[i], pic.width, legend,
                               &pic.pixels[static_cast<std::size_t>(y * pic.width)]);
                }
            }
            arrays.push_back({name, note, pic.pixels});
            done[name] = pic;
        } else {
            fail(path, lineno, "unknown line");
        }
    }
    std::string source = path;
    std::size_t at = source.rfind("assets/src/");
    if (at != std::string::npos) source = source.substr(at);
    write_data_file(argv[2], "tools/assets/make_picture from " + source, arrays);
    return 0;
}
