#include "ports/desktop/scores.h"

#include <cstdio>

#include "game/last_game.h"
#include "ports/common/score_keeper.h"
#include "ports/common/submit.h"
#include "ports/desktop/score_file.h"
#include "ports/desktop/status_line.h"

namespace {

ScoreKeeper s_keeper;
ScoreFile s_file;

void tell(const std::string& note) {
    if (!note.empty()) std::fprintf(stderr, "burrowrotor: %s\n", note.c_str());
}

}  // namespace

void scores_open(const DesktopOptions& options) {
    std::string note;
    s_keeper.counting = options.replay.empty();
    if (s_keeper.counting) {
        score_file_open(&s_file, score_file_path(), &s_keeper.table, &note);
    } else if (!score_file_read(score_file_path(), &s_keeper.table, &note)) {
        // A replay only shows the table: a damaged file is left where it is.
        s_keeper.table = BestScores{};
        note = "best scores: " + note;
    }
    tell(note);
}

void scores_frame_shown() {
    if (score_keeper_frame_shown(&s_keeper)) {
        std::string note;
        score_file_save(&s_file, &s_keeper.table, &note);
        tell(note);
        submit_new_best(g_last_mode, g_last_speed, s_keeper.new_best);
    }
    scores_update_status(false);
}

void scores_update_status(bool paused) {
    char text[STATUS_LINE_SIZE];
    format_status_line(s_keeper, paused, text, sizeof text);
    status_line_set(text, paused || s_keeper.new_best_frames > 0);
}

int scores_print() {
    const std::string path = score_file_path();
    if (path.empty()) {
        std::fprintf(stderr, "burrowrotor: no best scores: neither XDG_DATA_HOME nor HOME is set\n");
        return 1;
    }
    BestScores table;
    std::string error;
    if (!score_file_read(path, &table, &error)) {
        std::fprintf(stderr, "burrowrotor: %s\n", error.c_str());
        return 1;
    }
    std::printf("Best scores (%s)\n\n%s", path.c_str(), format_best_scores_table(table).c_str());
    return 0;
}
