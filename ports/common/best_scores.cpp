#include "ports/common/best_scores.h"

#include <cstdio>
#include <vector>

#include "ports/common/message.h"

const char BEST_SCORES_HEADER[] = "burrowrotor best scores 1";

namespace {

const char* const MODE_NAMES[BEST_MODES] = {"NORMAL", "COIN", "MOVING"};
const char* const SPEED_NAMES[BEST_SPEEDS] = {"SLOW", "MEDIUM", "FAST", "MADNESS!"};
constexpr int MAX_NAME = 40;  // longer words are quoted cut short in messages

bool in_range(int mode, int speed) { return mode >= 0 && mode < BEST_MODES && speed >= 0 && speed < BEST_SPEEDS; }

int index_of(const std::string& word, const char* const* names, int count) {
    for (int i = 0; i < count; ++i)
        if (word == names[i]) return i;
    return -1;
}

std::vector<std::string> words_of(const std::string& line) {
    std::vector<std::string> words;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
        const std::size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t') ++i;
        if (i > start) words.push_back(line.substr(start, i - start));
    }
    return words;
}

std::string quoted(const std::string& word) { return "'" + one_line(word.substr(0, MAX_NAME)) + "'"; }

// A score: 1 to 10 decimal digits, no sign, at most 2147483647.
bool parse_score(const std::string& word, std::int32_t* score) {
    if (word.empty() || word.size() > 10) return false;
    long long v = 0;
    for (const char c : word) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
    }
    if (v > INT32_MAX) return false;
    *score = static_cast<std::int32_t>(v);
    return true;
}

// Checks one entry line; on success stores it in `out` and marks it seen.
bool parse_entry(const std::vector<std::string>& w, BestScores* out, bool seen[BEST_MODES][BEST_SPEEDS],
                 std::string* why) {
    if (w.size() != 3) {
        *why = "expected MODE SPEED SCORE, got " + std::to_string(w.size()) + " words";
        return false;
    }
    const int mode = index_of(w[0], MODE_NAMES, BEST_MODES);
    const int speed = index_of(w[1], SPEED_NAMES, BEST_SPEEDS);
    std::int32_t score = 0;
    if (mode < 0) *why = "unknown game mode " + quoted(w[0]) + " (NORMAL, COIN or MOVING)";
    else if (speed < 0) *why = "unknown speed " + quoted(w[1]) + " (SLOW, MEDIUM, FAST or MADNESS!)";
    else if (!parse_score(w[2], &score)) *why = "score " + quoted(w[2]) + " is not a whole number from 0 to 2147483647";
    else if (seen[mode][speed]) *why = w[0] + " " + w[1] + " is given twice";
    else {
        seen[mode][speed] = true;
        out->score[mode][speed] = score;
        return true;
    }
    return false;
}

}  // namespace

const char* best_mode_name(int mode) { return mode >= 0 && mode < BEST_MODES ? MODE_NAMES[mode] : "?"; }
const char* best_speed_name(int speed) { return speed >= 0 && speed < BEST_SPEEDS ? SPEED_NAMES[speed] : "?"; }

bool parse_best_scores(const std::string& text, BestScores* table, std::string* error) {
    BestScores read;
    bool seen[BEST_MODES][BEST_SPEEDS] = {};
    std::size_t start = 0;
    for (int number = 1; start < text.size() || number == 1; ++number) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::string why;
        const std::vector<std::string> w = words_of(line);
        if (number == 1) {
            if (w.size() == 4 && w[0] == "burrowrotor" && w[1] == "best" && w[2] == "scores" && w[3] != "1")
                why = "format version " + quoted(w[3]) + " is not known (this game reads version 1)";
            else if (line != BEST_SCORES_HEADER)
                why = std::string("not a best-score table (the first line is not '") + BEST_SCORES_HEADER + "')";
        } else if (!w.empty() && w[0][0] != '#') {
            parse_entry(w, &read, seen, &why);
        }
        if (!why.empty()) {
            *error = "line " + std::to_string(number) + ": " + why;
            return false;
        }
    }
    *table = read;
    return true;
}

std::string format_best_scores(const BestScores& table) {
    std::string text = std::string(BEST_SCORES_HEADER) + "\n";
    for (int m = 0; m < BEST_MODES; ++m)
        for (int s = 0; s < BEST_SPEEDS; ++s)
            text += std::string(MODE_NAMES[m]) + " " + SPEED_NAMES[s] + " " + std::to_string(table.score[m][s]) + "\n";
    return text;
}

std::string format_best_scores_table(const BestScores& table) {
    char row[128];
    std::snprintf(row, sizeof row, "%-8s %10s %10s %10s %10s\n", "", SPEED_NAMES[0], SPEED_NAMES[1], SPEED_NAMES[2],
                  SPEED_NAMES[3]);
    std::string text = row;
    for (int m = 0; m < BEST_MODES; ++m) {
        std::snprintf(row, sizeof row, "%-8s", MODE_NAMES[m]);
        text += row;
        for (int s = 0; s < BEST_SPEEDS; ++s) {
            const std::int32_t v = table.score[m][s];
            std::snprintf(row, sizeof row, " %10s", v > 0 ? std::to_string(v).c_str() : "-");
            text += row;
        }
        text += "\n";
    }
    return text;
}

bool record_best_score(BestScores* table, int mode, int speed, std::int32_t score) {
    if (!in_range(mode, speed) || score <= table->score[mode][speed]) return false;
    table->score[mode][speed] = score;
    return true;
}

std::int32_t best_score_of(const BestScores& table, int mode, int speed) {
    return in_range(mode, speed) ? table.score[mode][speed] : 0;
}
