// Whole-number command-line values (frame counts, scales), read the same way
// by every front end.
#pragma once
#include <cstdint>
#include <string>

constexpr std::uint64_t MAX_COUNT_ARG = 1000000000000ull;  // 10^12 frames: far beyond any session

// Reads a whole number from 1 to `limit` given to `flag`; otherwise returns
// false with "FLAG needs a whole number from 1 to LIMIT, got 'TEXT'".
bool parse_count_arg(const char* flag, const char* text, std::uint64_t limit, std::uint64_t* value,
                     std::string* error);
