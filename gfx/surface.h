// The frame surface: the 320 x 240 RGB565 picture that every frame is drawn
// into, and the pixel primitives everything else is built on.
#pragma once
#include <cstdint>

using Rgb565 = std::uint16_t;

constexpr int SCREEN_WIDTH = 320;
constexpr int SCREEN_HEIGHT = 240;
constexpr int SURFACE_BYTES = SCREEN_WIDTH * SCREEN_HEIGHT * 2;  // 153600

// Colours the game rules depend on. The collision test reads the frame back
// and recognises walls and coins by these exact values, so nothing else that
// is drawn before the probes may use them.
constexpr Rgb565 COLOR_WALL = 0x0700;
constexpr Rgb565 COLOR_COIN = 0xF740;
constexpr Rgb565 COLOR_KEY = 0xFFFE;  // transparent in every picture and the font sheet
constexpr Rgb565 COLOR_WHITE = 0xFFFF;
constexpr Rgb565 COLOR_HIGHLIGHT = 0xFFC0;
constexpr Rgb565 COLOR_DIM = 0x8420;

// What get_pixel reports for a point off the surface. It is neither the wall
// nor the coin colour; the collision probes ask on_surface() first anyway.
constexpr Rgb565 COLOR_OFF_SURFACE = 0x0001;

// Row-major, 320 pixels per row, no gap and no header: exactly a display buffer.
struct FrameSurface {
    Rgb565 pixels[SCREEN_WIDTH * SCREEN_HEIGHT];
};
static_assert(sizeof(FrameSurface) == SURFACE_BYTES, "a surface is one display buffer");

inline bool on_surface(std::int32_t x, std::int32_t y) {
    return x >= 0 && x < SCREEN_WIDTH && y >= 0 && y < SCREEN_HEIGHT;
}

// Stores a pixel. Callers keep (x, y) on the surface; a point off it is dropped
// rather than written anywhere else.
void put_pixel(std::int32_t x, std::int32_t y, Rgb565 colour, FrameSurface* surface);

// Stores a pixel when 0 <= x <= 319 and 0 <= y <= 239, otherwise nothing.
void put_pixel_clipped(std::int16_t x, std::int16_t y, Rgb565 colour, FrameSurface* surface);

// Every pixel black, in one block fill.
void clear_surface(FrameSurface* surface);

// Reads a pixel back; off the surface it returns COLOR_OFF_SURFACE.
Rgb565 get_pixel(std::int32_t x, std::int32_t y, const FrameSurface* surface);

// The low 16 bits of a 32-bit coordinate, read as signed, for the 16-bit
// corner of a picture (blit_keyed). The game's pictures stay within a few
// hundred pixels of the screen, where this is the coordinate itself.
inline std::int16_t low16(std::int32_t v) {
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(static_cast<std::uint32_t>(v) & 0xFFFFu));
}
