// The program: the title screen and a game, one after the other, for ever.
#pragma once

// Makes buffer 0 the drawing target and alternates title_menu and play_game;
// never returns. The port has set up g_frame and its buttons.
[[noreturn]] void run_game_loop();
