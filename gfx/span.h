// The pixel store keeps only the low 16 bits of a coordinate, so a long run of
// coordinates comes back onto the screen once every 65536 steps. These helpers
// find, once per call, the steps of a run that land on the screen, so that the
// drawing routines never test pixels that cannot show.
#pragma once
#include <cstdint>
#include <cstring>

#include "gfx/surface.h"

// On x86-64 the desktop build stores and compares eight pixels at once, at any
// alignment; everywhere else (the handheld's ARM9 among them) the portable
// loops run. BURROW_GFX_SCALAR forces the portable loops, so that tests can
// check both.
#if defined(__SSE2__) && !defined(BURROW_GFX_SCALAR)
#include <emmintrin.h>
#define BURROW_GFX_SSE2 1
#endif

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

// Stores one colour into the same segment of `width` pixels on `rows`
// consecutive rows from `first` down: the same pixels as a loop of single
// stores. The portable loop stores single pixels up to an 8-byte boundary and
// then four pixels per aligned 64-bit store (the ARM9 has no unaligned
// stores); a row is 640 bytes, so every row's segment starts at the same
// alignment and the split is made once.
inline void fill_block(Rgb565* first, std::int64_t rows, std::int64_t width, Rgb565 colour) {
    if (rows <= 0 || width <= 0) return;
#ifdef BURROW_GFX_SSE2
    if (width >= 8 && width <= 16) {
        // A tunnel column or the block: two stores a row, the second one
        // overlapping the first; the overlap gets the same colour twice.
        const __m128i eight = _mm_set1_epi16(static_cast<short>(colour));
        for (Rgb565* row = first; rows > 0; --rows, row += SCREEN_WIDTH) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(row), eight);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(row + width - 8), eight);
        }
        return;
    }
    if (width >= 8) {
        // Eight pixels per store, the last store overlapping the one before
        // it: the overlap is written twice with the same colour.
        const __m128i eight = _mm_set1_epi16(static_cast<short>(colour));
        for (Rgb565* row = first; rows > 0; --rows, row += SCREEN_WIDTH) {
            for (std::int64_t i = 0; i + 8 < width; i += 8) _mm_storeu_si128(reinterpret_cast<__m128i*>(row + i), eight);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(row + width - 8), eight);
        }
        return;
    }
#endif
    std::int64_t head = static_cast<std::int64_t>((8u - (reinterpret_cast<std::uintptr_t>(first) & 7u)) & 7u) / 2;
    if (head > width) head = width;
    const std::int64_t words = (width - head) / 4;
    const std::int64_t tail = width - head - 4 * words;
    const std::uint64_t four = colour * std::uint64_t{0x0001000100010001u};
    for (Rgb565* row = first; rows > 0; --rows, row += SCREEN_WIDTH) {
        Rgb565* p = row;
        for (std::int64_t i = 0; i < head; ++i) *p++ = colour;
        for (std::int64_t i = 0; i < words; ++i, p += 4) std::memcpy(__builtin_assume_aligned(p, 8), &four, 8);
        for (std::int64_t i = 0; i < tail; ++i) *p++ = colour;
    }
}

}  // namespace gfx_detail
