// The player's chopper: a two-picture rotor animation at a fixed column, and
// a climb/sink counter with inertia driven by the action button.
#include "assets/assets.h"
#include "game/game.h"
#include "gfx/sprite.h"
#include "platform/buttons.h"
#include "platform/display.h"

void draw_chopper(GameState* s) {
    // Three frames of each picture: the rotor blade flickers in and out.
    const Rgb565* picture = s->anim_count <= 3 ? g_chopper_frame_a : g_chopper_frame_b;
    blit_keyed(picture, low16(s->chopper_x), low16(s->chopper_y), g_draw_target, COLOR_KEY, CHOPPER_WIDTH,
               CHOPPER_HEIGHT);
    if (s->anim_count == 6) s->anim_count = 0;
}

void steer_chopper(GameState* s) {
    // Holding the button pushes the counter toward climbing one step per
    // frame, letting go toward sinking; the speed grows with its square, and
    // is never zero, so the chopper cannot hover.
    if (g_key_state[BUTTON_ACTION])
        s->momentum -= 1;
    else
        s->momentum += 1;
    if (s->momentum < 0)
        s->vertical_speed = -(((s->momentum - 9) * (s->momentum - 9)) / s->speed_divisor);
    else
        s->vertical_speed = ((s->momentum + 9) * (s->momentum + 9)) / s->speed_divisor;
}

void move_chopper(GameState* s) { s->chopper_y += s->vertical_speed; }
