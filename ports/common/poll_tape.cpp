#include "ports/common/poll_tape.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

bool load_poll_tape(const char* path, PollTape* tape, std::string* error) {
    std::FILE* f = std::fopen(path, "rb");
    if (f == nullptr) {
        *error = std::string(path) + ": " + std::strerror(errno);
        return false;
    }
    tape->bytes.clear();
    tape->position = 0;
    unsigned char buffer[65536];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) tape->bytes.insert(tape->bytes.end(), buffer, buffer + n);
    const bool failed = std::ferror(f) != 0;
    const int read_errno = errno;
    std::fclose(f);
    if (failed) {
        *error = std::string(path) + ": " + std::strerror(read_errno);
        return false;
    }
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
