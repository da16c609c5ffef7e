#include "gfx/surface.h"

#include <cstring>

void put_pixel(std::int32_t x, std::int32_t y, Rgb565 colour, FrameSurface* surface) {
    if (!on_surface(x, y)) return;
    surface->pixels[y * SCREEN_WIDTH + x] = colour;
}

void put_pixel_clipped(std::int16_t x, std::int16_t y, Rgb565 colour, FrameSurface* surface) {
    if (x < 0 || x > SCREEN_WIDTH - 1 || y < 0 || y > SCREEN_HEIGHT - 1) return;
    surface->pixels[y * SCREEN_WIDTH + x] = colour;
}

void clear_surface(FrameSurface* surface) {
    std::memset(surface->pixels, 0, sizeof surface->pixels);
}

Rgb565 get_pixel(std::int32_t x, std::int32_t y, const FrameSurface* surface) {
    if (!on_surface(x, y)) return COLOR_OFF_SURFACE;
    return surface->pixels[y * SCREEN_WIDTH + x];
}
