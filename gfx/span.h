// Storing one colour over a block of screen pixels, the inner loop of the
// tunnel walls, the block and the menu band.
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

// Stores one colour into the same segment of `width` pixels on `rows`
// consecutive rows from `first` down; the caller has clipped the block to the
// screen. The portable loop stores single pixels up to an 8-byte boundary and
// then four pixels per aligned 64-bit store (the ARM9 has no unaligned
// stores); a row is 640 bytes, so every row's segment starts at the same
// alignment and the split is made once.
inline void fill_block(Rgb565* first, std::int64_t rows, std::int64_t width, Rgb565 colour) {
    if (rows <= 0 || width <= 0) return;
#ifdef BURROW_GFX_SSE2
    if (width >= 8) {
        // Eight pixels per store, the last store overlapping the one before
        // it: the overlap is written twice with the same colour. A tunnel
        // column or the block takes two stores a row.
        const __m128i eight = _mm_set1_epi16(static_cast<short>(colour));
        if (width <= 16) {
            for (Rgb565* row = first; rows > 0; --rows, row += SCREEN_WIDTH) {
                _mm_storeu_si128(reinterpret_cast<__m128i*>(row), eight);
                _mm_storeu_si128(reinterpret_cast<__m128i*>(row + width - 8), eight);
            }
            return;
        }
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
