// The desktop's best scores: the table kept in
// $XDG_DATA_HOME/burrowrotor/best-scores.txt (~/.local/share/burrowrotor/
// when XDG_DATA_HOME is not set), in the text format of
// ports/common/best_scores.h, the games followed as their frames are shown,
// and the status line beneath the frame. The file is only ever replaced
// whole, through a temporary name, so a crash or a full disk leaves the old
// table. Two games may run at once: each holds an advisory lock on
// best-scores.txt.lock while it reads, merges and replaces the table.
#pragma once
#include <string>

#include "ports/common/best_scores.h"
#include "ports/desktop/port.h"

struct ScoreFile {
    std::string path;        // empty when there is nowhere to keep it
    bool can_save = false;   // false once the player was told the table is not kept
};

// Where the table lives for this environment; empty when neither
// XDG_DATA_HOME (absolute) nor HOME is set.
std::string score_file_path();

// Reads the table for --scores, changing nothing. A missing file is an empty
// table; otherwise false with "PATH: why" when it cannot be read as a table.
bool score_file_read(const std::string& path, BestScores* table, std::string* error);

// Opens the file at start-up. `table` gets what it holds. A version-1 table
// that does not parse is renamed aside (best-scores.txt.damaged, .damaged-2,
// ...; never over another file) and the game starts with an empty table; a
// file that cannot be read, or a table of a later version, is left as it is
// and this session keeps no scores. `note` gets one line to tell the player
// when anything went wrong, else stays empty. Nothing is made yet: the
// folder comes with the first best score.
void score_file_open(ScoreFile* file, const std::string& path, BestScores* table, std::string* note);

// Keeps the table after a game at `mode` and `speed` beat its best: merges in
// what another running game kept since (the higher score of each entry
// wins) and replaces the file, on the disk before the rename. Returns false
// when the file already held that game's score or more, so it is no new best
// after all. `note` gets one line as for score_file_open, or when the table
// could not be written (saving stops for the session).
bool score_file_save(ScoreFile* file, BestScores* table, int mode, int speed, std::string* note);

// Loads the table (telling the player on stderr, in one line, if anything is
// wrong with its file) and readies the status line. A replayed tape's games
// are not the player's: with --replay the table is shown but never changed.
void scores_open(const DesktopOptions& options);

// Call as each frame is shown: a game that ended is entered, and a new best
// is kept in the file at once. Returns true when that made a new best.
bool scores_frame_shown();

// Words the status line for this moment (a note wins over the pause, the
// pause over the rest); returns whether it changed.
bool scores_update_status(bool paused);

// Shows `text` ("MUTED") in the status line for two seconds.
void scores_note(const char* text);

// --scores: prints the table to stdout; returns the exit status (1 when the
// file cannot be read as a table, with the reason on stderr).
int scores_print();
