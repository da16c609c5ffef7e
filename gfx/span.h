// The pixel store keeps only the low 16 bits of a coordinate, so a long run of
// coordinates comes back onto the screen once every 65536 steps. These helpers
// find, once per call, the steps of a run that land on the screen, so that the
// drawing routines never test pixels that cannot show.
#pragma once
#include <cstdint>

namespace gfx_detail {

constexpr std::int64_t WRAP = 65536;

// The 16-bit screen coordinate that the pixel store sees for a wide value.
inline std::int64_t wrap16(std::int64_t v) {
    return static_cast<std::int64_t>(static_cast<std::uint64_t>(v) & 0xFFFFu);
}

// Calls visit(first, last) for each maximal range of k in [0, count) for which
// the low 16 bits of base + step * k (step +1 or -1) lie in 0 .. limit - 1,
// in increasing k. limit is at most 320; count may be anything up to 2^34.
template <typename Visit>
void for_each_window(std::int64_t base, int step, std::int64_t count, std::int64_t limit, Visit visit) {
    if (count <= 0) return;
    const std::int64_t u0 = wrap16(base);
    std::int64_t start;
    if (u0 < limit) {
        const std::int64_t first_len = step > 0 ? limit - u0 : u0 + 1;
        visit(std::int64_t{0}, (first_len < count ? first_len : count) - 1);
        start = step > 0 ? WRAP - u0 : u0 - limit + 1 + WRAP;
    } else {
        start = step > 0 ? WRAP - u0 : u0 - limit + 1;
    }
    for (; start < count; start += WRAP) {
        const std::int64_t last = start + limit - 1;
        visit(start, last < count ? last : count - 1);
    }
}

// True when some value in lo .. hi (hi - lo < 65536) has its low 16 bits in
// 0 .. limit - 1.
inline bool range_hits_screen(std::int64_t lo, std::int64_t hi, std::int64_t limit) {
    const std::int64_t u = wrap16(lo);
    return u < limit || u + (hi - lo) >= WRAP;
}

}  // namespace gfx_detail
