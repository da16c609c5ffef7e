#include "game/loop.h"

#include "game/game.h"
#include "game/title.h"
#include "platform/display.h"

void run_game_loop() {
    reset_display_state();
    for (;;) play_game(title_menu());
}
