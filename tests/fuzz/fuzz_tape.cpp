// The button-tape parser with arbitrary text, and the poll-tape reader with
// arbitrary bytes. A tape that parses must come back unchanged from its own
// written form and answer every frame with the word in force; a tape that
// does not must name, in one line, the first line that is wrong.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "ports/common/poll_tape.h"
#include "ports/common/tape.h"

namespace {

[[noreturn]] void fail(const char* what, const std::string& detail) {
    std::fprintf(stderr, "fuzz_tape: %s: %s\n", what, detail.c_str());
    std::abort();
}

void check_error(const std::string& text, const std::string& error) {
    const std::size_t colon = std::min(error.find_first_not_of("0123456789", 5), error.size());
    const unsigned long line = colon > 5 ? std::stoul(error.substr(5, colon - 5)) : 0;
    if (error.compare(0, 5, "line ") != 0 || line == 0 || error.compare(colon, 2, ": ") != 0 || error.size() == colon + 2)
        fail("message has no line number and reason", error);
    // Echoed input must not break the line or drive the terminal.
    if (std::any_of(error.begin(), error.end(), [](unsigned char c) { return c < 0x20 || c == 0x7F; }))
        fail("message holds a control character", error);
    // Line N is in the text, and the lines before it are all good.
    std::size_t start = 0;
    for (unsigned long n = line; n > 1 && start < text.size(); --n)
        start = std::min(text.find('\n', start), text.size()) + 1;
    if (start >= text.size()) fail("message names a line past the end of the text", error);
    ButtonTape prefix;
    std::string again;
    if (!parse_button_tape(text.substr(0, start), &prefix, &again))
        fail("an earlier line is wrong too", error + " / " + again);
}

void check_tape(ButtonTape* tape) {
    const auto& e = tape->entries;
    std::string written;
    for (const TapeEntry& t : e) written += std::to_string(t.frame) + " " + format_button_word(t.word) + "\n";
    ButtonTape back;
    std::string error;
    if (!parse_button_tape(written, &back, &error)) fail("written form does not parse", error);
    const auto same = [](const TapeEntry& a, const TapeEntry& b) { return a.frame == b.frame && a.word == b.word; };
    if (!std::equal(e.begin(), e.end(), back.entries.begin(), back.entries.end(), same))
        fail("written form reads back differently", written);
    // Each entry's frame gets its word, and the frame before it, asked next,
    // sends the reader back to the word in force before (which also finds
    // frames that are not in order, or 0).
    for (std::size_t i = 0; i < e.size(); ++i) {
        if (tape_word_at(tape, e[i].frame) != e[i].word) fail("word at a tape frame", std::to_string(e[i].frame));
        const std::uint32_t before = i == 0 ? 0u : e[i - 1].word;
        if (tape_word_at(tape, e[i].frame - 1) != before) fail("word before a tape frame", std::to_string(e[i].frame));
    }
}

// Each read takes up to four bytes, low byte first, and keeps the rest of the
// word; the expected word is those bytes copied over the last one.
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the expected words are built by memcpy");
void check_poll_tape(const std::uint8_t* data, std::size_t size) {
    PollTape polls;
    polls.bytes.assign(data, data + size);
    std::uint32_t word = 0xDEADBEEF;
    for (std::size_t at = 0; at < size; at += 4) {
        std::uint32_t expected = word;
        std::memcpy(&expected, data + at, std::min<std::size_t>(4, size - at));
        if (!poll_tape_read(&polls, &word) || word != expected) fail("poll word at byte", std::to_string(at));
    }
    if (poll_tape_read(&polls, &word)) fail("poll tape does not end", std::to_string(size));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    ButtonTape tape;
    std::string error;
    if (parse_button_tape(text, &tape, &error))
        check_tape(&tape);
    else
        check_error(text, error);
    check_poll_tape(data, size);
    return 0;
}
