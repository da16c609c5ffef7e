// The best score of each game mode and speed, kept between sessions as a
// small text a person can read and edit:
//
//   burrowrotor best scores 1
//   NORMAL SLOW 0
//   NORMAL MEDIUM 1840
//   ...
//   MOVING MADNESS! 0
//
// The first line names the format and its version. Then one line per mode and
// speed: the mode and speed as the title screen's menu spells them and the
// best score in decimal, 0 when no game of that kind has been played. Lines
// may come in any order and may be left out (0); blank lines and lines
// starting with '#' are ignored. The desktop keeps the text in a file, the
// browser in the page's local storage.
#pragma once
#include <cstdint>
#include <string>

constexpr int BEST_MODES = 3;   // NORMAL, COIN, MOVING
constexpr int BEST_SPEEDS = 4;  // SLOW, MEDIUM, FAST, MADNESS!
constexpr int BEST_ENTRIES = BEST_MODES * BEST_SPEEDS;
extern const char BEST_SCORES_HEADER[];  // "burrowrotor best scores 1"

struct BestScores {
    std::int32_t score[BEST_MODES][BEST_SPEEDS] = {};  // 0: none yet
};

// The menu's names: "NORMAL".."MOVING", "SLOW".."MADNESS!"; "?" out of range.
const char* best_mode_name(int mode);
const char* best_speed_name(int speed);

// Reads a table from its text. On failure returns false with "line N: what is
// wrong" and leaves `table` as it was.
bool parse_best_scores(const std::string& text, BestScores* table, std::string* error);

// The text of a table: the header and all twelve lines, each ending in '\n'.
std::string format_best_scores(const BestScores& table);

// The table for a person: one row per mode, one column per speed, "-" where
// no game has been played.
std::string format_best_scores_table(const BestScores& table);

// Enters the score of a game that ended at `mode` and `speed`; returns true
// when it beats the best so far. Modes and speeds the menu cannot choose, and
// scores of 0 or less, are never entered.
bool record_best_score(BestScores* table, int mode, int speed, std::int32_t score);

// The best of a mode and speed, 0 when none (or out of range).
std::int32_t best_score_of(const BestScores& table, int mode, int speed);
