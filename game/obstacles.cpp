// The block, the coin and the ten probe points that decide contact by reading
// back the colours already drawn into this frame.
#include <cstdlib>

#include "assets/assets.h"
#include "game/game.h"
#include "game/last_game.h"
#include "gfx/line.h"
#include "gfx/sprite.h"
#include "platform/display.h"

// Around the chopper's 50 x 23 picture: four just outside the box, six on
// pixels both pictures leave transparent, in the order they are tested.
const ProbePoint PROBE_POINTS[PROBE_COUNT] = {
    {-1, -1}, {10, 1}, {31, -1}, {50, 2}, {42, 13}, {42, 22}, {32, 23}, {22, 22}, {15, 13}, {3, 17},
};

namespace {
constexpr std::int32_t BLOCK_WIDTH = 20;
constexpr std::int32_t BLOCK_HEIGHT = 60;
constexpr std::int32_t BLOCK_LOWEST_TOP = 179;
constexpr std::int32_t NO_COIN = -40;
constexpr std::int32_t COIN_BONUS_PER_STEP = 40;
}  // namespace

bool chopper_touches(const GameState* s, Rgb565 colour) {
    for (const ProbePoint& p : PROBE_POINTS) {
        const std::int32_t x = s->chopper_x + p.dx;
        const std::int32_t y = s->chopper_y + p.dy;
        // A chopper that leaves the screen has flown into the rock around it:
        // off the surface counts as wall, never as a coin.
        if (!on_surface(x, y)) {
            if (colour == COLOR_WALL) return true;
            continue;
        }
        if (get_pixel(x, y, g_draw_target) == colour) return true;
    }
    return false;
}

void update_block(GameState* s) {
    if (s->block_x < -20) {
        s->block_x = SCREEN_WIDTH;
        s->block_y = std::rand() % (BLOCK_LOWEST_TOP + 1);
        s->block_dir = std::rand() % 2;
    }
    fill_rows(s->block_x, s->block_y, s->block_x + BLOCK_WIDTH - 1, s->block_y + BLOCK_HEIGHT - 1, COLOR_WALL,
              g_draw_target);
    s->block_x -= s->scroll_step;
    if (s->mode != MODE_MOVING) return;
    // One row per frame at every speed, turning at rows 0 and 179.
    if (s->block_dir == 1) {
        if (s->block_y <= BLOCK_LOWEST_TOP) s->block_y += 1;
        if (s->block_y > BLOCK_LOWEST_TOP) s->block_dir = 0;
    }
    if (s->block_dir == 0) {
        if (s->block_y > 0) s->block_y -= 1;
        if (s->block_y <= 0) s->block_dir = 1;
    }
}

void update_coin(GameState* s) {
    if (s->coin_x == NO_COIN) {
        // A 1 in 80 chance each frame, but not while the new block is still
        // coming in at the right edge.
        const int roll = std::rand() % 80;
        if (roll == 0 && s->block_x <= 299) {
            s->coin_x = SCREEN_WIDTH;
            s->coin_y = 60 + std::rand() % 121;
        }
    }
    if (s->coin_x > NO_COIN) {
        blit_keyed(g_coin_image, low16(s->coin_x), low16(s->coin_y), g_draw_target, COLOR_KEY, COIN_SIZE, COIN_SIZE);
        s->coin_x -= s->scroll_step;
    }
    if (chopper_touches(s, COLOR_COIN)) {
        g_score += COIN_BONUS_PER_STEP * s->scroll_step;
        s->coin_x = NO_COIN;
    }
}

void test_crash(GameState* s) {
    if (chopper_touches(s, COLOR_WALL)) s->crashed = 1;
}
