// Writes a button tape (tape.h) as it is recorded: a line whenever the word
// changes, flushed at once, under PATH.part until the recording is complete,
// so an interrupted session keeps all but its last frame there and never
// harms an older PATH. The finished tape is on the disk before it is renamed.
#pragma once
#include <cstdint>
#include <string>

#include "ports/common/part_file.h"

struct TapeWriter {
    PartFile out;
    bool have_word = false;
    std::uint32_t last_word = 0;
};
// Opens PATH.part and writes the tape's first line; false with "PATH: reason".
bool tape_writer_open(TapeWriter* writer, const char* path, std::string* error);
// Records the word held during `frame`; returns false when the write fails.
bool tape_writer_record(TapeWriter* writer, std::uint64_t frame, std::uint32_t word);
// Completes the tape under PATH. When that fails, returns false with
// "PATH: reason; the recording is in PATH.part" and leaves it there.
bool tape_writer_close(TapeWriter* writer, std::string* error);
// Stops recording and leaves what was recorded under PATH.part; returns that name.
std::string tape_writer_leave(TapeWriter* writer);
