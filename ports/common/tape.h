// Button tapes: what the player pressed, frame by frame, as text.
//
//   # comment
//   <frame> <buttons>
//
// A recorder's first line names the tape's format and the version of the
// game's rules it was played under: "# burrowrotor tape 2 rules 1". Older
// tapes lack it (format 1, rules 1); to older readers it is a comment. A tape
// of other rules would fly a different game, so readers refuse it.
//
// Frames are 1-based (the first frame shown is frame 1) and strictly
// increasing; buttons are "-" for none, a comma list of UP, LEFT, DOWN, RIGHT,
// ACTION, or a hex word 0x.... A word holds from its frame until the next
// line; before the first line no button is held.
#pragma once
#include <cstdint>
#include <string>
#include <vector>


constexpr int TAPE_FORMAT = 2;
constexpr int TAPE_RULES = 1;  // raised whenever a frame of any game would change
extern const char TAPE_HEADER[];  // "# burrowrotor tape 2 rules 1", without newline

struct TapeEntry {
    std::uint64_t frame;
    std::uint32_t word;
};

struct ButtonTape {
    std::vector<TapeEntry> entries;
    std::size_t cursor = 0;  // speeds up word_at for frames asked in order
};

// Parses tape text. On failure returns false with "line N: what is wrong".
bool parse_button_tape(const std::string& text, ButtonTape* tape, std::string* error);

constexpr std::size_t TAPE_MAX_BYTES = std::size_t{1} << 30;  // days of play; more is not a tape

// Reads and parses a file. On failure returns false with "PATH: what" or
// "PATH:N: what".
bool load_button_tape(const char* path, ButtonTape* tape, std::string* error);

// The word in force at `frame`.
std::uint32_t tape_word_at(ButtonTape* tape, std::uint64_t frame);

// "-", "UP,ACTION" and the like, or "0x00001011" when bits without a name are set.
std::string format_button_word(std::uint32_t word);
