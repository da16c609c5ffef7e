// The button-tape parser with arbitrary text, and the poll-tape reader with
// arbitrary bytes. A tape that parses must come back unchanged from its own
// written form and answer every frame with the word in force; a tape that
// does not must name, in one line, the first line that is wrong.
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
    if (error.compare(0, 5, "line ") != 0) fail("message does not start with 'line N: '", error);
    std::size_t i = 5;
    std::uint64_t line = 0;
    while (i < error.size() && error[i] >= '0' && error[i] <= '9') line = line * 10 + static_cast<unsigned>(error[i++] - '0');
    if (line == 0 || error.compare(i, 2, ": ") != 0 || error.size() == i + 2) fail("message has no line number and reason", error);
    // Echoed input must not break the line or drive the terminal.
    for (const char c : error)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) fail("message holds a control character", error);
    // The lines before the one named are all good.
    std::size_t start = 0;
    for (std::uint64_t n = 1; n < line; ++n) {
        const std::size_t nl = text.find('\n', start);
        if (nl == std::string::npos) fail("message names a line past the end of the text", error);
        start = nl + 1;
    }
    if (start >= text.size())
        fail("message names a line past the end of the text", error);
    ButtonTape prefix;
    std::string again;
    if (!parse_button_tape(text.substr(0, start), &prefix, &again))
        fail("an earlier line is wrong too", error + " / " + again);
}

void check_tape(ButtonTape* tape) {
    const auto& e = tape->entries;
    std::string written;
    for (std::size_t i = 0; i < e.size(); ++i) {
        if (e[i].frame == 0 || (i > 0 && e[i].frame <= e[i - 1].frame)) fail("frames out of order", std::to_string(i));
        written += std::to_string(e[i].frame) + " " + format_button_word(e[i].word) + "\n";
    }
    ButtonTape back;
    std::string error;
    if (!parse_button_tape(written, &back, &error)) fail("written form does not parse", error);
    if (back.entries.size() != e.size()) fail("written form has a different length", written);
    for (std::size_t i = 0; i < e.size(); ++i)
        if (back.entries[i].frame != e[i].frame || back.entries[i].word != e[i].word)
            fail("written form differs", written);
    // Every frame, asked forwards and then backwards, gets the word in force.
    for (int pass = 0; pass < 2; ++pass)
        for (std::size_t k = 0; k < e.size(); ++k) {
            const std::size_t i = pass == 0 ? k : e.size() - 1 - k;
            if (tape_word_at(tape, e[i].frame) != e[i].word) fail("word at a tape frame", std::to_string(e[i].frame));
            const std::uint32_t before = i == 0 ? 0u : e[i - 1].word;
            if (tape_word_at(tape, e[i].frame - 1) != before) fail("word before a tape frame", std::to_string(e[i].frame));
        }
}

void check_poll_tape(const std::uint8_t* data, std::size_t size) {
    PollTape polls;
    polls.bytes.assign(data, data + size);
    std::uint32_t word = 0xDEADBEEF;
    std::size_t reads = 0, position = 0;
    while (poll_tape_read(&polls, &word)) {
        // Each read takes up to four bytes, low byte first, and keeps the rest.
        const std::size_t n = std::min<std::size_t>(4, size - position);
        for (std::size_t b = 0; b < n; ++b)
            if (((word >> (8 * b)) & 0xFFu) != data[position + b]) fail("poll word", std::to_string(reads));
        position += n;
        if (++reads > size) fail("poll tape never ends", std::to_string(size));
    }
    if (position != size) fail("poll tape stopped early", std::to_string(position));
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
