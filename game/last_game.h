// What one game leaves for the title screen that follows it: the mode and
// speed it was played at (the menu opens on them again) and its score (shown
// as LAST SCORE). play_game writes them, title_menu reads them; all three are
// 0 at power-on and nothing else resets them.
#pragma once
#include <cstdint>

extern std::int32_t g_last_mode;
extern std::int32_t g_last_speed;
extern std::int32_t g_score;
