// The handheld's RGB565 pixels as 8 bits per channel, for PNG files, the web
// page's canvas and the icons. The top bits are repeated into the low ones,
// so full white stays 255, 255, 255 and black stays 0.
#pragma once
#include <cstdint>

#include "gfx/surface.h"

struct Rgb8 {
    std::uint8_t r, g, b;
};

static_assert(sizeof(Rgb8) == 3, "an array of Rgb8 is the bytes of a PNG row");

inline Rgb8 rgb8(Rgb565 p) {
    const unsigned r = (p >> 11) & 31u, g = (p >> 5) & 63u, b = p & 31u;
    return {static_cast<std::uint8_t>((r << 3) | (r >> 2)), static_cast<std::uint8_t>((g << 2) | (g >> 4)),
            static_cast<std::uint8_t>((b << 3) | (b >> 2))};
}
