#include "ports/common/score_keeper.h"

#include <cstdio>

#include "game/last_game.h"
#include "game/view.h"

bool score_keeper_frame_shown(ScoreKeeper* keeper) {
    if (keeper->new_best_frames > 0) --keeper->new_best_frames;
    const bool in_game = g_game_view != nullptr;
    const bool ended = keeper->was_in_game && !in_game;
    keeper->was_in_game = in_game;
    if (!ended || !keeper->counting) return false;
    if (!record_best_score(&keeper->table, g_last_mode, g_last_speed, g_score)) return false;
    keeper->new_best_frames = NEW_BEST_FRAMES;
    keeper->new_best = g_score;
    return true;
}

void format_status_line(const ScoreKeeper& keeper, bool paused, char* out, int size) {
    const auto n = static_cast<std::size_t>(size);
    int mode = 0, speed = 0;
    const char* what = "BEST";
    if (paused) {
        std::snprintf(out, n, "PAUSED");
        return;
    }
    if (keeper.new_best_frames > 0) {
        std::snprintf(out, n, "NEW BEST %d", static_cast<int>(keeper.new_best));
        return;
    }
    if (g_title_view != nullptr) {
        mode = g_title_view->mode;
        speed = g_title_view->speed;
    } else if (g_game_view != nullptr) {
        mode = g_last_mode;
        speed = g_last_speed;
        what = "TO BEAT";
    } else {
        std::snprintf(out, n, "%s", "");
        return;
    }
    const std::int32_t best = best_score_of(keeper.table, mode, speed);
    if (best > 0)
        std::snprintf(out, n, "%s %s  %s %d", best_mode_name(mode), best_speed_name(speed), what,
                      static_cast<int>(best));
    else
        std::snprintf(out, n, "%s %s  NO BEST YET", best_mode_name(mode), best_speed_name(speed));
}
