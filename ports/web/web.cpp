// The browser port: the game's blocking frame loop runs unchanged inside
// WebAssembly. Waiting for the refresh hands control back to the browser until
// the page's 60 Hz clock ticks (Asyncify unwinds and rewinds the C stack);
// showing a buffer paints it into the page's canvas. page.js, bundled into the
// same script, owns the canvas, the keys, the touch pad, the clock, the pause
// and the page's local storage, where the best scores are kept as the text
// of ports/common/best_scores.h.
#include <emscripten.h>

#include <cstdint>
#include <string>

#include "game/last_game.h"
#include "game/loop.h"
#include "game/view.h"
#include "platform/buttons.h"
#include "ports/common/best_scores.h"
#include "ports/common/frame_hash.h"
#include "ports/common/pixels.h"
#include "ports/common/score_keeper.h"
#include "ports/common/session_tape.h"
#include "ports/common/sound.h"
#include "ports/common/tape.h"
#include "platform/display.h"
#include "platform/platform.h"

// Hands control to the browser until the next tick of the page's clock.
EM_ASYNC_JS(void, page_wait_refresh, (), { await Module.burrowWaitRefresh(); });

// Paints 320 x 240 RGBA pixels into the canvas and records the frame's hash.
EM_JS(void, page_present, (const std::uint8_t* rgba, std::uint32_t hash_hi, std::uint32_t hash_lo),
      { Module.burrowPresent(rgba, hash_hi, hash_lo); });

// The button word of the keyboard and the touch pad, as held right now.
EM_JS(std::uint32_t, page_buttons, (), { return Module.burrowButtons(); });

// Length of the tape the page fetched before start-up; -1 without a tape.
EM_JS(int, page_tape_length, (), { return Module.burrowTapeLength(); });

// Copies the fetched tape's bytes into `text`.
EM_JS(void, page_tape_copy, (char* text), { Module.burrowTapeCopy(text); });

// Shows on the page why the fetched tape cannot be replayed.
EM_JS(void, page_tape_rejected, (const char* why), { Module.burrowTapeRejected(UTF8ToString(why)); });

// Byte length of the best-score text in local storage; -1 when there is none.
EM_JS(int, page_scores_length, (), { return Module.burrowScoresLength(); });

// Copies that text's bytes into `text`.
EM_JS(void, page_scores_copy, (char* text), { Module.burrowScoresCopy(text); });

// Keeps the best-score text in local storage.
EM_JS(void, page_scores_keep, (const char* text), { Module.burrowScoresKeep(UTF8ToString(text)); });

// Moves a stored text that is not a table aside and tells the player why.
EM_JS(void, page_scores_damaged, (const char* why), { Module.burrowScoresDamaged(UTF8ToString(why)); });

// Hands the sound of the frame just shown to the page, which plays it once
// the player has touched the page.
EM_JS(void, page_sound, (const std::int16_t* samples, int count), { Module.burrowSound(samples, count); });

namespace {

FrameSurface s_buffers[2];
SoundSynth s_synth;
std::int16_t s_samples[SOUND_FRAME_SAMPLES];
std::uint32_t s_rgba[SCREEN_WIDTH * SCREEN_HEIGHT];  // what the canvas receives, R G B A in memory
ButtonTape s_tape;
bool s_replaying = false;
std::uint64_t s_shown = 0;
ScoreKeeper s_keeper;
char s_status[STATUS_LINE_SIZE];
// Every poll since the page loaded, for the hall of fame, and the new bests made.
SessionTape s_session;
std::string s_session_text;
int s_new_bests = 0;

// Merges the table in local storage into the one in memory, the higher score
// of each entry winning, as the desktop does with its file: another tab of the
// page may have kept bests of its own since this one started.
void merge_stored_scores() {
    const int length = page_scores_length();
    if (length < 0) return;
    std::string text(static_cast<std::size_t>(length), '\0');
    if (length > 0) page_scores_copy(&text[0]);
    BestScores stored;
    std::string error;
    if (!parse_best_scores(text, &stored, &error)) {
        page_scores_damaged(error.c_str());
        return;
    }
    for (int m = 0; m < BEST_MODES; ++m)
        for (int s = 0; s < BEST_SPEEDS; ++s) record_best_score(&s_keeper.table, m, s, stored.score[m][s]);
}

// The canvas takes bytes red, green, blue, alpha: little-endian words 0xAABBGGRR.
void convert_to_rgba(const FrameSurface* frame) {
    for (int i = 0; i < SCREEN_WIDTH * SCREEN_HEIGHT; ++i) {
        const Rgb8 c = rgb8(frame->pixels[i]);
        s_rgba[i] = c.r | (std::uint32_t{c.g} << 8) | (std::uint32_t{c.b} << 16) | 0xFF000000u;
    }
}

}  // namespace

// Returns at the next tick of the page's 60 Hz clock, never before it.
void platform_wait_refresh() { page_wait_refresh(); }

// Paints the buffer into the canvas at once; the browser shows it with the
// refresh that is starting.
void platform_show(std::uint32_t display_address) {
    const FrameSurface* shown = &s_buffers[display_address == DISPLAY_ADDR_FB0 ? 0 : 1];
    ++s_shown;
    const bool new_best = score_keeper_frame_shown(&s_keeper);
    if (new_best) {
        merge_stored_scores();
        page_scores_keep(format_best_scores(s_keeper.table).c_str());
        ++s_new_bests;
    }
    sound_frame(&s_synth, g_title_view, g_game_view, g_score, new_best, s_samples);
    page_sound(s_samples, SOUND_FRAME_SAMPLES);
    convert_to_rgba(shown);
    const std::uint64_t hash = frame_hash(shown);
    page_present(reinterpret_cast<const std::uint8_t*>(s_rgba), static_cast<std::uint32_t>(hash >> 32),
                 static_cast<std::uint32_t>(hash));
}

// Always delivers a word: the tape's word for the frame being drawn, or what
// the player holds.
void platform_read_buttons(std::uint32_t* word) {
    *word = s_replaying ? tape_word_at(&s_tape, s_shown + 1) : page_buttons();
    if (!s_replaying) session_tape_record(&s_session, s_shown + 1, *word);
}

// What the page may read of the running screen.
extern "C" {
// 0 while nothing runs, 1 on the title screen, 2 in a game.
EMSCRIPTEN_KEEPALIVE int web_screen() { return g_game_view != nullptr ? 2 : g_title_view != nullptr ? 1 : 0; }
// The title screen's menu: selected row, game mode, speed; -1 elsewhere.
EMSCRIPTEN_KEEPALIVE int web_title_row() { return g_title_view != nullptr ? g_title_view->row : -1; }
EMSCRIPTEN_KEEPALIVE int web_title_mode() { return g_title_view != nullptr ? g_title_view->mode : -1; }
EMSCRIPTEN_KEEPALIVE int web_title_speed() { return g_title_view != nullptr ? g_title_view->speed : -1; }
// The score of the game running or last played.
EMSCRIPTEN_KEEPALIVE int web_score() { return g_score; }
// The line the page shows beneath the canvas.
EMSCRIPTEN_KEEPALIVE const char* web_status_line(int paused) {
    format_status_line(s_keeper, paused != 0, s_status, sizeof s_status);
    return s_status;
}
// Whether "NEW BEST" is showing (the page highlights it).
EMSCRIPTEN_KEEPALIVE int web_new_best() { return s_keeper.new_best_frames > 0 ? 1 : 0; }
// Another tab changed the table in local storage: its bests join this tab's.
EMSCRIPTEN_KEEPALIVE void web_scores_changed() { merge_stored_scores(); }
// The new bests made since the page loaded (0), and the mode (1), speed (2)
// and score (3) of the last of them.
EMSCRIPTEN_KEEPALIVE int web_new_best_game(int what) {
    const int values[] = {s_new_bests, g_last_mode, g_last_speed, s_keeper.new_best};
    return what >= 0 && what < 4 ? values[what] : -1;
}
// The session's button tape up to the frame shown last; empty once it grew too long.
EMSCRIPTEN_KEEPALIVE const char* web_session_tape() {
    s_session_text = s_session.full ? "" : session_tape_until(s_session, s_shown);
    return s_session_text.c_str();
}
}

int main() {
    const int length = page_tape_length();
    if (length >= 0) {
        std::string text(static_cast<std::size_t>(length), '\0');
        if (length > 0) page_tape_copy(&text[0]);
        std::string error;
        if (!parse_button_tape(text, &s_tape, &error)) {
            page_tape_rejected(error.c_str());
            return 1;
        }
        s_replaying = true;
    }
    // A replayed tape's games are not the player's: the table is shown, never changed.
    s_keeper.counting = !s_replaying;
    merge_stored_scores();
    sound_start(&s_synth);
    g_frame[0] = &s_buffers[0];
    g_frame[1] = &s_buffers[1];
    reset_button_state();
    run_game_loop();
}
