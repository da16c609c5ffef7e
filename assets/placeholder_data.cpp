// Stand-in pictures until the generated ones are committed.
#include "assets/assets.h"

const Rgb565 g_title_image[TITLE_WIDTH * TITLE_HEIGHT] = {};
const Rgb565 g_coin_image[COIN_SIZE * COIN_SIZE] = {};
const Rgb565 g_chopper_frame_a[CHOPPER_WIDTH * CHOPPER_HEIGHT] = {};
const Rgb565 g_chopper_frame_b[CHOPPER_WIDTH * CHOPPER_HEIGHT] = {};
const Rgb565 g_font_sheet[256 * 128] = {};
