// An output file written as it goes, under PATH.part, and renamed to PATH only
// once it is complete, so a failed or interrupted run never leaves a
// half-written file under its final name, and an older PATH stays as it was
// until then. Files written in one piece use replace_file (files.h) instead.
#pragma once
#include <cstdio>
#include <string>

#include "ports/common/files.h"

struct PartFile {
    std::string path;  // the final name
    std::FILE* file = nullptr;
    // Durable (a tape): on the disk before the rename, and when completing it
    // fails the part stays, since it may hold all the player recorded.
    FileCare care = FileCare::Bulk;
};

// Opens PATH.part; on failure returns false with "PATH: reason".
bool part_file_open(PartFile* out, const std::string& path, const char* mode, std::string* error);

// With `keep`, flushes, closes and renames the file to its final name and
// returns true, or returns false with "PATH: reason" when any of that fails
// (the part stays when Durable). Without `keep`, closes and removes the part
// and returns false, leaving `error` as the caller set it.
bool part_file_close(PartFile* out, bool keep, std::string* error);

// Closes the file and leaves it under its temporary name, which it returns.
std::string part_file_leave(PartFile* out);

// "NAME: reason" for a failed write; never an empty reason, even when the C
// library left errno at 0.
std::string part_file_reason(const std::string& name, int error_number);
