#include "game/game.h"

#include <cstdio>

#include "game/last_game.h"
#include "game/view.h"
#include "gfx/sprite.h"
#include "platform/buttons.h"
#include "platform/display.h"

const std::int32_t SCROLL_STEPS[SPEED_LEVELS] = {1, 2, 5, 10};
const GameState* g_game_view = nullptr;

namespace {
constexpr std::int32_t UNKNOWN_SPEED_STEP = 5;
}  // namespace

void set_up_game(GameState* s, std::int32_t choice) {
    *s = GameState{};
    reset_tunnel(&s->tunnel);
    g_score = 0;
    g_last_mode = choice / 10;
    g_last_speed = choice - 10 * (choice / 10);
    s->mode = g_last_mode;
    s->scroll_step = g_last_speed >= 0 && g_last_speed < SPEED_LEVELS ? SCROLL_STEPS[g_last_speed] : UNKNOWN_SPEED_STEP;
    s->frame_count = 0;
    s->crashed = 0;
    s->chopper_x = 50;
    s->chopper_y = 109;
    s->momentum = 0;
    s->speed_divisor = 80;
    s->vertical_speed = 0;
    s->anim_count = 0;
    s->block_x = -30;  // below -20: the first frame places a block
    s->block_y = 0;
    s->block_dir = 1;
    s->coin_x = -40;  // no coin in play
    s->coin_y = 0;
}

// The collision tests read back what this frame has drawn so far, so the
// order of these steps is part of the rules.
void run_game_frame(GameState* s) {
    s->frame_count += 1;
    s->anim_count += 1;
    FrameSurface* target = g_draw_target;
    clear_surface(target);
    draw_tunnel(&s->tunnel, target);
    if (advance_tunnel(&s->tunnel, s->scroll_step)) walk_game_tunnel(&s->tunnel, s->frame_count);
    update_block(s);
    if (s->mode == MODE_COIN) update_coin(s);
    draw_chopper(s);
    test_crash(s);
    poll_buttons();
    steer_chopper(s);
    std::snprintf(s->score_text, sizeof s->score_text, "SCORE: %i", static_cast<int>(g_score));
    draw_text(10, 220, COLOR_HIGHLIGHT, s->score_text, target);
    move_chopper(s);
    g_score += s->scroll_step;
    flip_screen();
}

void play_game(std::int32_t choice) {
    GameState s;
    set_up_game(&s, choice);
    const PublishedView<GameState> view(g_game_view, &s);
    // The crash frame itself is finished and shown; then the title screen
    // comes back, with that frame still on the display.
    while (s.crashed != 1) run_game_frame(&s);
}
