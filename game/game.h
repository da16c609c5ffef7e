// One game, from the chosen mode and speed to the frame of the crash.
#pragma once
#include <cstdint>

#include "game/tunnel.h"

constexpr int MODE_NORMAL = 0;
constexpr int MODE_COIN = 1;
constexpr int MODE_MOVING = 2;

constexpr int SPEED_LEVELS = 4;
extern const std::int32_t SCROLL_STEPS[SPEED_LEVELS];  // pixels per frame: 1, 2, 5, 10

constexpr int PROBE_COUNT = 10;
struct ProbePoint {
    std::int32_t dx, dy;
};
extern const ProbePoint PROBE_POINTS[PROBE_COUNT];

struct GameState {
    std::int32_t mode;
    std::int32_t scroll_step;
    std::int32_t frame_count;
    std::int32_t crashed;
    char score_text[20];
    TunnelState tunnel;
    std::int32_t chopper_x;
    std::int32_t chopper_y;
    std::int32_t momentum;
    std::int32_t speed_divisor;
    std::int32_t vertical_speed;
    std::int32_t anim_count;
    std::int32_t block_x;
    std::int32_t block_y;
    std::int32_t block_dir;
    std::int32_t coin_x;
    std::int32_t coin_y;
};

// Plays one game with the title screen's choice (mode * 10 + speed level);
// returns after the crash frame has been shown.
void play_game(std::int32_t choice);

// The two halves of play_game, for tools that look at one game frame: the
// state its first frame is drawn from (this also starts the score at 0 and
// makes the choice the last game's), and one whole frame, from clearing the
// draw target to the flip.
void set_up_game(GameState* state, std::int32_t choice);
void run_game_frame(GameState* state);

// The chopper (its pictures, flight and animation).
void draw_chopper(GameState* state);
void steer_chopper(GameState* state);
void move_chopper(GameState* state);

// The block, the coin and the probe points around the chopper.
bool chopper_touches(const GameState* state, Rgb565 colour);
void update_block(GameState* state);
void update_coin(GameState* state);
void test_crash(GameState* state);
