// The session's button tape, kept in memory from start-up for the hall of
// fame: every change of the word the game polled, in the text of
// ports/common/tape.h. Every game of a session starts from the same power-on,
// so this text replays all of them, and a server can prove any of their
// scores by replaying it.
#pragma once
#include <cstdint>
#include <string>

// A session's tape stops growing here (about a day of steady button presses,
// far past what the hall of fame takes); a tape that full is never sent.
constexpr std::size_t MAX_SESSION_TAPE_BYTES = 4u << 20;

struct SessionTape {
    std::string text;           // the header line, then "<frame> <buttons>" lines
    std::uint64_t last_frame = 0;
    std::uint32_t last_word = 0;
    bool full = false;          // the word changed once it was full: the tape is cut short
};

// Notes the word polled while `frame` is drawn (a line only when it changed).
void session_tape_record(SessionTape* tape, std::uint64_t frame, std::uint32_t word);

// The tape up to and including `frame`: the text, closed by a line at that
// frame, so a replay runs to the game's end even when the buttons last
// changed long before it.
std::string session_tape_until(const SessionTape& tape, std::uint64_t frame);
