#include "ports/common/poll_tape.h"

#include "ports/common/files.h"

bool load_poll_tape(const char* path, PollTape* tape, std::string* error) {
    std::string bytes;
    if (!read_file_capped(path, POLL_TAPE_MAX_BYTES, &bytes, error)) return false;
    tape->bytes.assign(bytes.begin(), bytes.end());
    tape->position = 0;
    return true;
}

bool poll_tape_read(PollTape* tape, std::uint32_t* word) {
    const std::size_t left = tape->bytes.size() - tape->position;
    if (left == 0) return false;
    const std::size_t n = left < 4 ? left : 4;
    std::uint32_t w = *word;
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned shift = static_cast<unsigned>(8 * i);
        w = (w & ~(0xFFu << shift)) | (static_cast<std::uint32_t>(tape->bytes[tape->position + i]) << shift);
    }
    tape->position += n;
    *word = w;
    return true;
}
