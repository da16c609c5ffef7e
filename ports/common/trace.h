// The trace: one JSON line per shown frame with its hash and the running
// screen's state at that moment, for comparing builds and debugging games.
#pragma once
#include <cstdint>
#include <cstdio>

#include "gfx/surface.h"
#include "ports/common/part_file.h"

// Formats the line for `frame` (without newline) into buffer; returns its length.
int format_trace_line(char* buffer, int size, std::uint64_t frame, int buffer_index, std::uint64_t hash);
// Writes the line and a newline; false when the write fails.
bool write_trace_line(std::FILE* file, std::uint64_t frame, int buffer_index, std::uint64_t hash);
// Creates the trace's folder when missing and opens the trace under its
// temporary name; false with "PATH: reason".
bool trace_open(PartFile* trace, const std::string& path, std::string* error);
