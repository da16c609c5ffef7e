// Shown frames as files: PNG for people, raw RGB565 for tools. Every file is
// written under a temporary name and renamed when complete, so a failed or
// interrupted write never leaves a half-written file under its final name.
#pragma once
#include <cstdint>
#include <string>

#include "gfx/surface.h"

// 8 bits per channel, 3 (red, green, blue) or 4 (and alpha) bytes a pixel.
enum class PngColour { rgb = 3, rgba = 4 };

// A width x height picture, rows top to bottom; `smallest` squeezes the file
// hardest (the icons that ship with the game).
bool write_png_file(const std::string& path, int width, int height, PngColour colour, const unsigned char* bytes,
                    bool smallest, std::string* error);
// A shown frame, RGB565 expanded by ports/common/pixels.h.
bool write_png(const std::string& path, const FrameSurface* frame, std::string* error);
// 153600 bytes, each pixel low byte first.
bool write_raw(const std::string& path, const FrameSurface* frame, std::string* error);

// Which shown frames go to which folders (--png DIR, --raw DIR, --from F, --every K).
struct FrameDump {
    std::string png_dir;
    std::string raw_dir;
    std::uint64_t from = 1;
    std::uint64_t every = 1;
};
// True when frame `frame` is due; writes frame-000123.png / .raw.
bool frame_dump_write(const FrameDump& dump, std::uint64_t frame, const FrameSurface* shown, std::string* error);
// Creates the folders when missing and checks that they can be written to.
bool frame_dump_check(const FrameDump& dump, std::string* error);
