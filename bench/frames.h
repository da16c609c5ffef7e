// One title frame and one game frame, step for step as the screens draw
// them, over a set of drawing routines: the game's own (ProductionDrawing)
// or the literal per-pixel ones (ReferenceDrawing). The state logic is the
// game's; only the drawing differs, so the two sides cost what their drawing
// costs. The benchmarks check that both give the pixels the game showed.
#pragma once
#include <cstdio>

#include "assets/assets.h"
#include "game/game.h"
#include "game/title.h"
#include "game/tunnel.h"
#include "gfx/line.h"
#include "gfx/sprite.h"
#include "gfx/surface.h"
#include "platform/display.h"
#include "bench/rand_tap.h"
#include "bench/replay.h"
#include "tests/reference/reference_gfx.h"

struct ProductionDrawing {
    static void tunnel(const TunnelState* t, FrameSurface* s) { draw_tunnel(t, s); }
    static void fill(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1, Rgb565 c, FrameSurface* s) {
        fill_rows(x0, y0, x1, y1, c, s);
    }
    static void bar(std::int32_t y, FrameSurface* s) { draw_gradient_bar(y, s); }
    static void blit(const Rgb565* image, std::int16_t x, std::int16_t y, FrameSurface* s, Rgb565 key,
                     std::uint16_t w, std::uint16_t h) {
        blit_keyed(image, x, y, s, key, w, h);
    }
    static void glyph(std::int32_t x, std::int32_t y, Rgb565 c, std::int32_t code, FrameSurface* s) {
        draw_glyph(g_font_sheet, x, y, c, code, s);
    }
    static void text(std::int32_t x, std::int32_t y, Rgb565 c, const char* t, FrameSurface* s) {
        draw_text(x, y, c, t, s);
    }
};

struct ReferenceDrawing {
    static void tunnel(const TunnelState* t, FrameSurface* s) {
        for (int i = 0; i < TUNNEL_COLUMNS; ++i)
            ref::draw_tunnel_column(TUNNEL_COLUMN_WIDTH * i - t->offset, t->top[i], t->gap[i], s);
    }
    static void fill(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1, Rgb565 c, FrameSurface* s) {
        ref::fill_rows(x0, y0, x1, y1, c, s);
    }
    static void bar(std::int32_t y, FrameSurface* s) { ref::draw_gradient_bar(y, s); }
    static void blit(const Rgb565* image, std::int16_t x, std::int16_t y, FrameSurface* s, Rgb565 key,
                     std::uint16_t w, std::uint16_t h) {
        ref::blit_keyed(image, x, y, s, key, w, h);
    }
    static void glyph(std::int32_t x, std::int32_t y, Rgb565 c, std::int32_t code, FrameSurface* s) {
        ref::draw_glyph(g_font_sheet, x, y, c, code, s);
    }
    static void text(std::int32_t x, std::int32_t y, Rgb565 c, const char* t, FrameSurface* s) {
        ref::draw_text(x, y, c, t, s);
    }
};

// Steps 1-7 and 10 of a title frame (no button poll, no flip).
template <typename Draw>
void title_frame(TitleState* s, FrameSurface* target) {
    clear_surface(target);
    Draw::tunnel(&s->tunnel, target);
    if (advance_tunnel(&s->tunnel, 2)) walk_title_tunnel(&s->tunnel);
    Draw::blit(g_title_image, 10, 10, target, COLOR_KEY, TITLE_WIDTH, TITLE_HEIGHT);
    for (int k = 0; k < 41; ++k) {
        const int index = s->marquee_start + k;
        if (index > MARQUEE_LENGTH) break;
        const std::int32_t code = static_cast<unsigned char>(MARQUEE_TEXT[index]);
        const std::int32_t x = 8 * k - s->marquee_shift;
        Draw::glyph(x - 1, 220, 0x0000, code, target);
        Draw::glyph(x + 1, 220, 0x0000, code, target);
        Draw::glyph(x, 219, 0x0000, code, target);
        Draw::glyph(x - 1, 221, 0x0000, code, target);
        Draw::glyph(x, 220, COLOR_WHITE, code, target);
    }
    std::snprintf(s->score_text, sizeof s->score_text, "LAST SCORE: %i", static_cast<int>(g_score));
    Draw::text(100, 180, COLOR_HIGHLIGHT, s->score_text, target);
    static const std::int32_t band_y[3] = {100, 130, 160};
    Draw::bar(band_y[s->row], target);
    auto colour = [](bool chosen) { return chosen ? COLOR_HIGHLIGHT : COLOR_DIM; };
    Draw::text(35, 100, COLOR_WHITE, "GAME MODE -", target);
    Draw::text(139, 100, colour(s->mode == 0), "NORMAL", target);
    Draw::text(195, 100, colour(s->mode == 1), "COIN", target);
    Draw::text(235, 100, colour(s->mode == 2), "MOVING", target);
    Draw::text(27, 130, COLOR_WHITE, "SPEED -", target);
    Draw::text(91, 130, colour(s->speed == 0), "SLOW", target);
    Draw::text(131, 130, colour(s->speed == 1), "MEDIUM", target);
    Draw::text(187, 130, colour(s->speed == 2), "FAST", target);
    Draw::text(227, 130, colour(s->speed == 3), "MADNESS!", target);
    Draw::text(120, 160, COLOR_WHITE, "LET'S GO!", target);
    if (++s->marquee_shift == 8) {
        s->marquee_shift = 0;
        if (++s->marquee_start == 700) s->marquee_start = 0;
    }
}

// Steps 1-8 and 10-13 of a game frame (no button poll, no flip); the probes
// read g_draw_target, which must be `target`.
template <typename Draw>
void game_frame(GameState* s, FrameSurface* target) {
    s->frame_count += 1;
    s->anim_count += 1;
    clear_surface(target);
    Draw::tunnel(&s->tunnel, target);
    if (advance_tunnel(&s->tunnel, s->scroll_step)) walk_game_tunnel(&s->tunnel, s->frame_count);
    // The block.
    if (s->block_x < -20) {
        s->block_x = SCREEN_WIDTH;
        s->block_y = std::rand() % 180;
        s->block_dir = std::rand() % 2;
    }
    Draw::fill(s->block_x, s->block_y, s->block_x + 19, s->block_y + 59, COLOR_WALL, target);
    s->block_x -= s->scroll_step;
    if (s->mode == MODE_MOVING) {
        if (s->block_dir == 1) {
            if (s->block_y <= 179) s->block_y += 1;
            if (s->block_y > 179) s->block_dir = 0;
        }
        if (s->block_dir == 0) {
            if (s->block_y > 0) s->block_y -= 1;
            if (s->block_y <= 0) s->block_dir = 1;
        }
    }
    // The coin.
    if (s->mode == MODE_COIN) {
        if (s->coin_x == -40) {
            const int roll = std::rand() % 80;
            if (roll == 0 && s->block_x <= 299) {
                s->coin_x = SCREEN_WIDTH;
                s->coin_y = 60 + std::rand() % 121;
            }
        }
        if (s->coin_x > -40) {
            Draw::blit(g_coin_image, low16(s->coin_x), low16(s->coin_y), target, COLOR_KEY, COIN_SIZE, COIN_SIZE);
            s->coin_x -= s->scroll_step;
        }
        if (chopper_touches(s, COLOR_COIN)) {
            g_score += 40 * s->scroll_step;
            s->coin_x = -40;
        }
    }
    // The chopper, then the wall test.
    const Rgb565* picture = s->anim_count <= 3 ? g_chopper_frame_a : g_chopper_frame_b;
    Draw::blit(picture, low16(s->chopper_x), low16(s->chopper_y), target, COLOR_KEY, CHOPPER_WIDTH, CHOPPER_HEIGHT);
    if (s->anim_count == 6) s->anim_count = 0;
    test_crash(s);
    steer_chopper(s);
    std::snprintf(s->score_text, sizeof s->score_text, "SCORE: %i", static_cast<int>(g_score));
    Draw::text(10, 220, COLOR_HIGHLIGHT, s->score_text, target);
    move_chopper(s);
    g_score += s->scroll_step;
}

// Draws the snapshot's frame once into `target` (which becomes
// g_draw_target) from a fresh copy of its state.
template <typename Draw>
void draw_snapshot_frame(const FrameSnapshot& snap, FrameSurface* target) {
    g_draw_target = target;
    g_score = snap.score;
    g_last_mode = snap.last_mode;
    g_last_speed = snap.last_speed;
    rand_tap::play(snap.draws, snap.draw_count);
    if (snap.title) {
        TitleState s = snap.title_state;
        title_frame<Draw>(&s, target);
    } else {
        GameState s = snap.game_state;
        game_frame<Draw>(&s, target);
    }
    rand_tap::play(nullptr, 0);
}
