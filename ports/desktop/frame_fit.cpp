#include "ports/desktop/frame_fit.h"

#include <algorithm>

#include "gfx/surface.h"

FrameFit fit_frame(int width, int height, int rows_below) {
    FrameFit f{};
    f.scale = std::max(1, std::min(width / SCREEN_WIDTH, height / (SCREEN_HEIGHT + rows_below)));
    f.width = SCREEN_WIDTH * f.scale;
    f.height = SCREEN_HEIGHT * f.scale;
    f.x = (width - f.width) / 2;
    f.y = (height - f.height - rows_below * f.scale) / 2;
    return f;
}
