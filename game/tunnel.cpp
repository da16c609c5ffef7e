#include "game/tunnel.h"

#include <algorithm>
#include <cstdlib>

#include "gfx/line.h"

namespace {

// A coordinate summed in 64 bits, held within one pixel of the screen
// (-1 .. limit): a fill draws the same pixels with it as with the value it
// stands for, and it fits fill_rows.
std::int32_t near_screen(std::int64_t v, std::int64_t limit) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(v, -1, limit));
}

}  // namespace

void draw_tunnel_column(std::int32_t x, std::int32_t top, std::int32_t gap, FrameSurface* surface) {
    // The right edge comes from the x passed in, before the left edge is
    // clamped; it is 320 at most, and the bottom wall runs on to row 319:
    // only what lies on the screen is drawn.
    const std::int32_t right = near_screen(std::int64_t{x} + 9, SCREEN_WIDTH);
    const std::int32_t left = near_screen(std::max(x, 0), SCREEN_WIDTH);
    fill_rows(left, 0, right, near_screen(std::int64_t{top} - 1, SCREEN_HEIGHT), COLOR_WALL, surface);
    fill_rows(left, near_screen(std::int64_t{top} + gap + 1, SCREEN_HEIGHT), right, 319, COLOR_WALL, surface);
}

void reset_tunnel(TunnelState* state) {
    for (int i = 0; i < TUNNEL_COLUMNS; ++i) {
        state->top[i] = TUNNEL_START_TOP;
        state->gap[i] = TUNNEL_START_GAP;
    }
    state->offset = 0;
}

void draw_tunnel(const TunnelState* state, FrameSurface* surface) {
    for (int i = 0; i < TUNNEL_COLUMNS; ++i)
        draw_tunnel_column(TUNNEL_COLUMN_WIDTH * i - state->offset, state->top[i], state->gap[i], surface);
}

bool advance_tunnel(TunnelState* state, std::int32_t step) {
    state->offset += step;
    if (state->offset != TUNNEL_COLUMN_WIDTH) return false;
    state->offset = 0;
    for (int i = 1; i < TUNNEL_COLUMNS; ++i) {
        state->top[i - 1] = state->top[i];
        state->gap[i - 1] = state->gap[i];
    }
    return true;
}

void walk_title_tunnel(TunnelState* state) {
    std::int32_t& top = state->top[TUNNEL_COLUMNS - 1];
    if (std::rand() % 2 != 0) {
        if (top <= TITLE_TOP_LIMIT - 4) top += 4;  // the passage moves down
    } else {
        if (top >= -TITLE_TOP_LIMIT + 4) top -= 4;  // the passage moves up
    }
}

void walk_game_tunnel(TunnelState* state, std::int32_t frame_count) {
    std::int32_t& top = state->top[TUNNEL_COLUMNS - 1];
    std::int32_t& gap = state->gap[TUNNEL_COLUMNS - 1];
    if (std::rand() % 2 != 0) {
        if (top <= 54) {
            top += 4;
            gap = 180 - frame_count / 100;
        }
    } else {
        if (top > 5) {
            top -= 4;
            gap = 180 - frame_count / 100;
        }
    }
}
