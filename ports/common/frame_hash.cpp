#include "ports/common/frame_hash.h"

std::uint64_t frame_hash(const FrameSurface* frame) {
    std::uint64_t h = FNV_OFFSET;
    for (Rgb565 p : frame->pixels) h = fnv1a_step(fnv1a_step(h, p & 0xFFu), static_cast<std::uint64_t>(p >> 8));
    return h;
}
