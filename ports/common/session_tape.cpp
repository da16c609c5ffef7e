#include "ports/common/session_tape.h"

#include "ports/common/tape.h"

namespace {

std::string header() { return std::string(TAPE_HEADER) + '\n'; }

std::string line(std::uint64_t frame, std::uint32_t word) {
    return std::to_string(frame) + ' ' + format_button_word(word) + '\n';
}

}  // namespace

void session_tape_record(SessionTape* tape, std::uint64_t frame, std::uint32_t word) {
    if (tape->text.empty()) tape->text = header();
    // Before the first line no button is held; a word held on stays one line.
    if (word == tape->last_word || tape->full) return;
    const std::string next = line(frame, word);
    if (tape->text.size() + next.size() > MAX_SESSION_TAPE_BYTES) {
        tape->full = true;
        return;
    }
    tape->text += next;
    tape->last_frame = frame;
    tape->last_word = word;
}

std::string session_tape_until(const SessionTape& tape, std::uint64_t frame) {
    std::string text = tape.text.empty() ? header() : tape.text;
    if (frame > tape.last_frame) text += line(frame, tape.last_word);
    return text;
}
