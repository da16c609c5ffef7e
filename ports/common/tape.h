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
#include <cstdio>
#include <string>
#include <vector>

#include "ports/common/part_file.h"

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

// Reads and parses a file. On failure returns false with "PATH: what" or
// "PATH:N: what".
bool load_button_tape(const char* path, ButtonTape* tape, std::string* error);

// The word in force at `frame`.
std::uint32_t tape_word_at(ButtonTape* tape, std::uint64_t frame);

// "-", "UP,ACTION" and the like, or "0x00001011" when bits without a name are set.
std::string format_button_word(std::uint32_t word);

// Writes a tape as it is recorded: a line whenever the word changes, flushed
// at once, under PATH.part until the recording is complete, so an interrupted
// session keeps all but its last frame there and never harms an older PATH.
struct TapeWriter {
    PartFile out;
    bool have_word = false;
    std::uint32_t last_word = 0;
};
// Opens PATH.part and writes the tape's first line; false with "PATH: reason".
bool tape_writer_open(TapeWriter* writer, const char* path, std::string* error);
// Records the word held during `frame`; returns false when the write fails.
bool tape_writer_record(TapeWriter* writer, std::uint64_t frame, std::uint32_t word);
// Completes the tape under PATH; false with "PATH: reason" (when `error` is given).
bool tape_writer_close(TapeWriter* writer, std::string* error = nullptr);
// Stops recording and leaves what was recorded under PATH.part; returns that name.
std::string tape_writer_leave(TapeWriter* writer);
