#include "game/last_game.h"

std::int32_t g_last_mode = 0;
std::int32_t g_last_speed = 0;
std::int32_t g_score = 0;
