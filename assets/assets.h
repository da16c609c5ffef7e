// The game's pictures and font, compiled in as raw RGB565 pixels in machine
// byte order, row-major with no header. COLOR_KEY (0xFFFE) is transparent.
#pragma once
#include "gfx/surface.h"

constexpr int TITLE_WIDTH = 300, TITLE_HEIGHT = 78;
constexpr int COIN_SIZE = 32;
constexpr int CHOPPER_WIDTH = 50, CHOPPER_HEIGHT = 23;

extern const Rgb565 g_title_image[TITLE_WIDTH * TITLE_HEIGHT];
extern const Rgb565 g_coin_image[COIN_SIZE * COIN_SIZE];
extern const Rgb565 g_chopper_frame_a[CHOPPER_WIDTH * CHOPPER_HEIGHT];
extern const Rgb565 g_chopper_frame_b[CHOPPER_WIDTH * CHOPPER_HEIGHT];
// 256 x 128: 8 rows of 32 cells of 8 x 16; 0x0000 is ink, COLOR_KEY background.
extern const Rgb565 g_font_sheet[256 * 128];
