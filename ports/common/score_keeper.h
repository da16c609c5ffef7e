// What the ports add around the game for its best scores: they watch the
// running screens through the game's read-only view, frame by frame as they
// are shown, enter the score of every game that ends, and word the status
// line shown beneath the frame (never inside it).
#pragma once
#include <cstdint>

#include "ports/common/best_scores.h"

constexpr int NEW_BEST_FRAMES = 180;  // "NEW BEST" stays three seconds
constexpr int STATUS_LINE_SIZE = 41;  // 40 cells of the game's font and the NUL

struct ScoreKeeper {
    BestScores table;
    bool counting = true;         // false while a button tape is replayed: its games are not the player's
    bool was_in_game = false;     // a game was running at the last shown frame
    int new_best_frames = 0;      // shown frames "NEW BEST" still stays
    std::int32_t new_best = 0;    // the score it shows
};

// Call once for each frame shown. When the game that ran at the last shown
// frame has ended (the game's view is withdrawn), its score (g_score) is
// entered for its mode and speed (g_last_mode, g_last_speed); returns true
// when that made a new best, i.e. when the table should be kept again.
bool score_keeper_frame_shown(ScoreKeeper* keeper);

// The status line for this moment, at most 40 characters: "PAUSED" while
// paused; "NEW BEST 1234" for a while after a game beat its best; on the title
// screen the best of the chosen mode and speed; in a game the best to beat.
void format_status_line(const ScoreKeeper& keeper, bool paused, char* out, int size);
