// The drawing routines as the benchmarks call them: the game's own
// (ProductionDrawing) or the literal per-pixel ones (ReferenceDrawing); and
// one whole frame of the game drawn again from a captured state by the
// game's own frame code.
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
#include "ports/headless/headless.h"
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

// Draws the snapshot's frame once, from a fresh copy of its state, by the
// game's own frame (poll and flip on the in-memory display included); returns
// the surface it was drawn into.
inline const FrameSurface* draw_snapshot_frame(const FrameSnapshot& snap) {
    headless_stop_after(0);
    const FrameSurface* target = g_draw_target;
    g_score = snap.score;
    g_last_mode = snap.last_mode;
    g_last_speed = snap.last_speed;
    rand_tap::play(snap.draws, snap.draw_count);
    if (snap.title) {
        TitleState s = snap.title_state;
        run_title_frame(&s);
    } else {
        GameState s = snap.game_state;
        run_game_frame(&s);
    }
    rand_tap::play(nullptr, 0);
    return target;
}
