// Where the 320 x 240 frame goes in a window or on a whole screen.
#pragma once

struct FrameFit {
    int scale;          // whole pixels per frame pixel
    int x, y;           // top-left corner of the scaled frame
    int width, height;  // 320 * scale by 240 * scale
};

// The frame scaled by the largest whole number that fits `width` x `height`
// pixels (at least 1, cut at the edges on a smaller screen) and centred; the
// rest stays black. 640 x 480 takes it at x2 exactly, 720 x 720 at x2 with
// bars above and below, 480 x 320 at x1 with bars all round, 1280 x 720 at x3.
// With `rows_below`, that many rows (at the same scale) must fit under the
// frame too, and frame and rows are centred together.
FrameFit fit_frame(int width, int height, int rows_below = 0);
