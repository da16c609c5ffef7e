#include "ports/common/frame_hash.h"

std::uint64_t frame_hash(const FrameSurface* frame) {
    std::uint64_t h = 0xcbf29ce484222325ull;
    for (Rgb565 p : frame->pixels) {
        h ^= static_cast<std::uint64_t>(p & 0xFFu);
        h *= 0x100000001b3ull;
        h ^= static_cast<std::uint64_t>(p >> 8);
        h *= 0x100000001b3ull;
    }
    return h;
}
