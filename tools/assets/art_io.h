// Helpers shared by the asset generators: reading the text-art sources and
// writing the C++ arrays that the game compiles in.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "ports/common/outputs.h"

using Pixel = std::uint16_t;

// Every line of a text file, without line ends. Exits with a message if the
// file cannot be read.
std::vector<std::string> read_lines(const std::string& path);

// Exits the generator with "TOOL: file:line: message".
[[noreturn]] void fail(const std::string& where, int line, const std::string& message);

// One compiled-in array: `const Rgb565 name[count] = { ... };`.
struct ArrayOut {
    std::string name;
    std::string comment;  // one or more lines, written as // comments above it
    std::vector<Pixel> pixels;
};

// Writes a *_data.cpp file holding the given arrays, 16 values per line.
// `origin` names the source and the tool in the header comment.
void write_data_file(const std::string& path, const std::string& origin,
                     const std::vector<ArrayOut>& arrays);

// Exits with status 2 and "TOOL: OUT.cpp and FONT.txt name the same file
// (PATH)" when an output is one of the inputs, before anything is written.
// Every generator calls it first: it also names the tool in later messages.
void refuse_overwriting_inputs(const char* tool, const std::vector<NamedFile>& files);

// Reads "0x1234" or "1234" (hex) into a pixel value.
bool parse_hex(const std::string& text, Pixel* out);
