// The command lines of the desktop game and the headless runner: each program
// lists its options as a table, one row an option, and one reader goes through
// argv, so the same mistake gets the same message from every program.
#pragma once
#include <cstdint>
#include <initializer_list>
#include <string>

constexpr std::uint64_t MAX_COUNT_ARG = 1000000000000ull;  // 10^12 frames: far beyond any session

// One row. Exactly one of `on`, `count` and `path` is set; make rows with the
// functions below.
struct Option {
    const char* flag;
    bool* on = nullptr;              // a switch: set when the flag is given
    bool ends = false;               // --help, --version: the rest of the line is not read
    std::uint64_t* count = nullptr;  // a whole number from `least` to `limit`
    std::uint64_t limit = 0;
    std::uint64_t least = 1;
    std::string* path = nullptr;     // a non-empty path (or other text), given at most once
    const char* noun = "a path";     // what the value is, for the message when it is empty
};

inline Option switch_option(const char* flag, bool* on) { return {flag, on, false, nullptr, 0, 1, nullptr}; }
inline Option final_option(const char* flag, bool* on) { return {flag, on, true, nullptr, 0, 1, nullptr}; }
inline Option count_option(const char* flag, std::uint64_t* count, std::uint64_t limit = MAX_COUNT_ARG) {
    return {flag, nullptr, false, count, limit, 1, nullptr};
}
inline Option path_option(const char* flag, std::string* path) { return {flag, nullptr, false, nullptr, 0, 1, path}; }
// Text that is not a file name (an address, a name), checked by its user.
inline Option text_option(const char* flag, std::string* text, const char* noun) {
    return {flag, nullptr, false, nullptr, 0, 1, text, noun};
}
// A level such as a volume, where 0 is a value too.
inline Option level_option(const char* flag, std::uint64_t* level, std::uint64_t limit) {
    return {flag, nullptr, false, level, limit, 0, nullptr};
}

// Reads argv[1..] against `table`; on a mistake returns false with a one-line
// reason ("unknown option 'X' (see --help)", "--frames needs a value", ...).
bool parse_options(int argc, const char* const* argv, std::initializer_list<Option> table, std::string* error);

// Reads a whole number from `least` (0 or 1) to `limit` given to `flag`;
// otherwise returns false with "FLAG needs a whole number from LEAST to LIMIT, got 'TEXT'".
bool parse_count_arg(const char* flag, const char* text, std::uint64_t limit, std::uint64_t* value,
                     std::string* error, std::uint64_t least = 1);
