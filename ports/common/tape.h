// Button tapes: what the player pressed, frame by frame, as text.
//
//   # comment
//   <frame> <buttons>
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
// at once, so an interrupted session keeps all but its last frame.
struct TapeWriter {
    std::FILE* file = nullptr;
    bool have_word = false;
    std::uint32_t last_word = 0;
};
bool tape_writer_open(TapeWriter* writer, const char* path, std::string* error);
// Records the word held during `frame`; returns false when the write fails.
bool tape_writer_record(TapeWriter* writer, std::uint64_t frame, std::uint32_t word);
bool tape_writer_close(TapeWriter* writer);
