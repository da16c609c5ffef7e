// The scrolling tunnel: 34 columns of 10 pixels, each with a top wall and a
// passage below it, moving left a few pixels per frame. The title screen and
// the game each own one and decide the new columns by their own rule.
#pragma once
#include <cstdint>

#include "gfx/surface.h"

constexpr int TUNNEL_COLUMNS = 34;
constexpr int TUNNEL_COLUMN_WIDTH = 10;
constexpr std::int32_t TUNNEL_START_TOP = 30;
constexpr std::int32_t TUNNEL_START_GAP = 180;

// The title screen's passage wanders without a bound; it is held inside this
// range, which a player could only reach after years on the title screen, so
// that the wall arithmetic can never overflow.
constexpr std::int32_t TITLE_TOP_LIMIT = 1000000000;

struct TunnelState {
    std::int32_t top[TUNNEL_COLUMNS];  // column i's top wall covers rows 0 .. top[i] - 1
    std::int32_t gap[TUNNEL_COLUMNS];  // its passage covers rows top[i] .. top[i] + gap[i]
    std::int32_t offset;               // pixels moved left since the last shift, 0-9
};

// One column with left edge x: the top wall down to row top - 1, the bottom
// wall from row top + gap + 1 down past the bottom of the screen.
void draw_tunnel_column(std::int32_t x, std::int32_t top, std::int32_t gap, FrameSurface* surface);

// The straight tunnel every screen starts with.
void reset_tunnel(TunnelState* state);

// All 34 columns at the current offset.
void draw_tunnel(const TunnelState* state, FrameSurface* surface);

// Moves the strip left by `step`; when a whole column has passed, shifts the
// columns one place and returns true (column 33 then repeats column 32).
bool advance_tunnel(TunnelState* state, std::int32_t step);

// Title screen's new last column: up or down 4 rows by the parity of rand().
void walk_title_tunnel(TunnelState* state);

// The game's new last column: up or down 4 rows, only within rows 2 to 58,
// and a passage that narrows by one row every 100 frames.
void walk_game_tunnel(TunnelState* state, std::int32_t frame_count);
