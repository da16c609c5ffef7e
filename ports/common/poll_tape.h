// A poll tape: the button device as a file of 4-byte little-endian words, the
// n-th poll reading the n-th word. It behaves exactly like a regular file
// opened as the button device: past the end a read delivers nothing, and a
// short last word overwrites only the bytes it has.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct PollTape {
    std::vector<unsigned char> bytes;
    std::size_t position = 0;
};

constexpr std::size_t POLL_TAPE_MAX_BYTES = std::size_t{1} << 30;  // 268 million polls

// Reads the whole file; false with "PATH: reason".
bool load_poll_tape(const char* path, PollTape* tape, std::string* error);

// One 4-byte read into *word; false when nothing was delivered.
bool poll_tape_read(PollTape* tape, std::uint32_t* word);
