// The title screen: title picture, marquee, last score and the menu of game
// mode and speed, over a wandering tunnel.
#pragma once
#include <cstdint>

#include "game/last_game.h"
#include "game/tunnel.h"

constexpr int ROW_MODE = 0;
constexpr int ROW_SPEED = 1;
constexpr int ROW_START = 2;

constexpr int MARQUEE_LENGTH = 322;  // characters, without the closing NUL
extern const char MARQUEE_TEXT[MARQUEE_LENGTH + 1];


struct TitleState {
    TunnelState tunnel;
    std::int32_t marquee_start;  // text index of the window's leftmost character, 0-699
    std::int32_t marquee_shift;  // pixels moved left within that character, 0-7
    std::int32_t row;            // selected menu row
    std::int32_t mode;
    std::int32_t speed;
    std::int32_t input_delay;  // frames until the buttons are read again
    std::int32_t done;
    char score_text[40];
};

// Runs the title screen until "LET'S GO!" is confirmed; returns mode * 10 + speed.
std::int32_t title_menu();

// One title frame of title_menu, for tools that look at one frame: from
// clearing the draw target to the flip, then what follows the flip (the
// marquee's step and the countdown to the next button read).
void run_title_frame(TitleState* state);
void finish_title_frame(TitleState* state);
