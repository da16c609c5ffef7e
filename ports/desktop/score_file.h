// The desktop's best-score file: $XDG_DATA_HOME/burrowrotor/best-scores.txt
// (~/.local/share/burrowrotor/ when XDG_DATA_HOME is not set), in the text
// format of ports/common/best_scores.h. It is only ever replaced whole,
// through a temporary name, so a crash or a full disk leaves the old table.
#pragma once
#include <string>

#include "ports/common/best_scores.h"

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

// Opens the file at start-up. `table` gets what it holds; a file that cannot
// be read as a table is renamed aside (best-scores.txt.damaged, .damaged-2,
// ...; never over another file) and the game starts with an empty table.
// `note` gets one line to tell the player when anything went wrong (the file
// set aside, or a folder where the table cannot be kept), else stays empty.
// Nothing is made yet: the folder comes with the first best score.
void score_file_open(ScoreFile* file, const std::string& path, BestScores* table, std::string* note);

// Keeps the table: merges in what another running game may have kept since
// (the higher score of each entry wins) and replaces the file through a
// temporary name, flushed to the disk before the rename. `note` gets one line
// for the player when the file on disk had been damaged meanwhile (it is set
// aside) or the table could not be written (saving stops for the session).
void score_file_save(ScoreFile* file, BestScores* table, std::string* note);
