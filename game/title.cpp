#include "game/title.h"

#include <cstdio>

#include "assets/assets.h"
#include "game/view.h"
#include "gfx/line.h"
#include "gfx/sprite.h"
#include "platform/buttons.h"
#include "platform/display.h"

// 40 spaces, so the title scrolls in from the right edge; the title; the
// credits; and a long blank tail before the marquee starts over.
#define MARQUEE_SPACES_10 "          "
const char MARQUEE_TEXT[MARQUEE_LENGTH + 1] =
    MARQUEE_SPACES_10 MARQUEE_SPACES_10 MARQUEE_SPACES_10 MARQUEE_SPACES_10
    "Burrowrotor! "
    "Written and drawn by the Burrowrotor crew, with thanks to everyone who held the button down until the tunnel "
    "closed" MARQUEE_SPACES_10 MARQUEE_SPACES_10 MARQUEE_SPACES_10 MARQUEE_SPACES_10 MARQUEE_SPACES_10
    MARQUEE_SPACES_10 MARQUEE_SPACES_10 MARQUEE_SPACES_10 MARQUEE_SPACES_10 MARQUEE_SPACES_10 MARQUEE_SPACES_10
    MARQUEE_SPACES_10 MARQUEE_SPACES_10 MARQUEE_SPACES_10 MARQUEE_SPACES_10 "    ";
#undef MARQUEE_SPACES_10
static_assert(sizeof MARQUEE_TEXT == MARQUEE_LENGTH + 1, "the marquee text is 322 characters and its NUL");

const TitleState* g_title_view = nullptr;

namespace {

constexpr int TITLE_SCROLL_STEP = 2;
constexpr int MARQUEE_WINDOW = 41;  // characters on screen at once, the last partly
constexpr int MARQUEE_CYCLE = 700;  // window positions before the text starts over
constexpr int MARQUEE_Y = 220;
constexpr int FIRST_POLL_DELAY = 10;
constexpr int REPEAT_DELAY = 5;
constexpr std::int32_t MODE_COUNT = 3;   // NORMAL, COIN, MOVING
constexpr std::int32_t SPEED_COUNT = 4;  // SLOW, MEDIUM, FAST, MADNESS!

// The marquee's white letters with a black edge, so they read over the green
// bottom wall: four black copies around each letter, then the white one.
void draw_marquee(const TitleState* s, FrameSurface* surface) {
    for (int k = 0; k < MARQUEE_WINDOW; ++k) {
        const int index = s->marquee_start + k;
        // Past the end of the text the window shows blanks.
        if (index > MARQUEE_LENGTH) break;
        const std::int32_t code = static_cast<unsigned char>(MARQUEE_TEXT[index]);
        const std::int32_t x = 8 * k - s->marquee_shift;
        draw_glyph(g_font_sheet, x - 1, MARQUEE_Y, 0x0000, code, surface);
        draw_glyph(g_font_sheet, x + 1, MARQUEE_Y, 0x0000, code, surface);
        draw_glyph(g_font_sheet, x, MARQUEE_Y - 1, 0x0000, code, surface);
        draw_glyph(g_font_sheet, x - 1, MARQUEE_Y + 1, 0x0000, code, surface);
        draw_glyph(g_font_sheet, x, MARQUEE_Y, COLOR_WHITE, code, surface);
    }
}

Rgb565 entry_colour(bool chosen) { return chosen ? COLOR_HIGHLIGHT : COLOR_DIM; }

void draw_menu(const TitleState* s, FrameSurface* surface) {
    static const std::int32_t band_y[3] = {100, 130, 160};
    draw_gradient_bar(band_y[s->row], surface);
    draw_text(35, 100, COLOR_WHITE, "GAME MODE -", surface);
    draw_text(139, 100, entry_colour(s->mode == 0), "NORMAL", surface);
    draw_text(195, 100, entry_colour(s->mode == 1), "COIN", surface);
    draw_text(235, 100, entry_colour(s->mode == 2), "MOVING", surface);
    draw_text(27, 130, COLOR_WHITE, "SPEED -", surface);
    draw_text(91, 130, entry_colour(s->speed == 0), "SLOW", surface);
    draw_text(131, 130, entry_colour(s->speed == 1), "MEDIUM", surface);
    draw_text(187, 130, entry_colour(s->speed == 2), "FAST", surface);
    draw_text(227, 130, entry_colour(s->speed == 3), "MADNESS!", surface);
    draw_text(120, 160, COLOR_WHITE, "LET'S GO!", surface);
}

// RIGHT raises the chosen value up to `highest`, then LEFT lowers it down to
// 0; holding both leaves it where it was unless it was already at the top.
void change_choice(std::int32_t* value, std::int32_t highest, TitleState* s) {
    if (g_key_state[BUTTON_RIGHT] && *value <= highest - 1) {
        *value += 1;
        s->input_delay = REPEAT_DELAY;
    }
    if (g_key_state[BUTTON_LEFT] && *value > 0) {
        *value -= 1;
        s->input_delay = REPEAT_DELAY;
    }
}

// A move that its bound blocks does not set the delay, so the buttons are
// read again in the very next frame.
void read_menu_buttons(TitleState* s) {
    poll_buttons();
    if (g_key_state[BUTTON_DOWN] && s->row <= 1) {
        s->row += 1;
        s->input_delay = REPEAT_DELAY;
    }
    if (g_key_state[BUTTON_UP] && s->row > 0) {
        s->row -= 1;
        s->input_delay = REPEAT_DELAY;
    }
    if (s->row == ROW_MODE) change_choice(&s->mode, MODE_COUNT - 1, s);
    if (s->row == ROW_SPEED) change_choice(&s->speed, SPEED_COUNT - 1, s);
    if (s->row == ROW_START && g_key_state[BUTTON_ACTION]) s->done = 1;
}

}  // namespace

void run_title_frame(TitleState* s) {
    FrameSurface* target = g_draw_target;
    clear_surface(target);
    draw_tunnel(&s->tunnel, target);
    if (advance_tunnel(&s->tunnel, TITLE_SCROLL_STEP)) walk_title_tunnel(&s->tunnel);
    blit_keyed(g_title_image, 10, 10, target, COLOR_KEY, TITLE_WIDTH, TITLE_HEIGHT);
    draw_marquee(s, target);
    std::snprintf(s->score_text, sizeof s->score_text, "LAST SCORE: %i", static_cast<int>(g_score));
    draw_text(100, 180, COLOR_HIGHLIGHT, s->score_text, target);
    draw_menu(s, target);
    if (s->input_delay == 0) read_menu_buttons(s);
    flip_screen();
}

void finish_title_frame(TitleState* s) {
    if (++s->marquee_shift == 8) {
        s->marquee_shift = 0;
        if (++s->marquee_start == MARQUEE_CYCLE) s->marquee_start = 0;
    }
    if (s->input_delay > 0) s->input_delay -= 1;
}

std::int32_t title_menu() {
    TitleState s{};
    reset_tunnel(&s.tunnel);
    s.marquee_start = 0;
    s.marquee_shift = 0;
    s.row = ROW_START;
    s.mode = g_last_mode;
    s.speed = g_last_speed;
    // The buttons rest for the first frames, so a press that ended the last
    // game does not start the next one by accident.
    s.input_delay = FIRST_POLL_DELAY;
    s.done = 0;
    const PublishedView<TitleState> view(g_title_view, &s);
    while (s.done != 1) {
        run_title_frame(&s);
        finish_title_frame(&s);
    }
    return s.mode * 10 + s.speed;
}
