#include "gfx/sprite.h"

#include <algorithm>
#include <cstring>

#include "assets/assets.h"
#include "gfx/span.h"

namespace {

// One picture row segment of n pixels onto the surface, leaving out key
// pixels.
inline void copy_keyed(const Rgb565* src, Rgb565* dst, std::int64_t n, Rgb565 key) {
#ifdef BURROW_GFX_SSE2
    const __m128i keys = _mm_set1_epi16(static_cast<short>(key));
    for (; n >= 8; n -= 8, src += 8, dst += 8) {
        const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src));
        const __m128i under = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dst));
        const __m128i transparent = _mm_cmpeq_epi16(p, keys);
        // Key pixels keep what is under them, all others take the picture.
        const __m128i out = _mm_or_si128(_mm_and_si128(transparent, under), _mm_andnot_si128(transparent, p));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), out);
    }
#endif
    for (; n > 0; --n, ++src, ++dst) {
        const Rgb565 p = *src;
        if (p != key) *dst = p;
    }
}

// Bit c set when pixel c of an 8-pixel font sheet row is ink (0x0000).
inline unsigned ink_bits(const Rgb565* src) {
#ifdef BURROW_GFX_SSE2
    const __m128i row = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src));
    // Ink lanes become 0xFFFF; packing them to bytes leaves one mask bit per pixel.
    const __m128i ink = _mm_cmpeq_epi16(row, _mm_setzero_si128());
    return static_cast<unsigned>(_mm_movemask_epi8(_mm_packs_epi16(ink, _mm_setzero_si128())));
#else
    unsigned bits = 0;
    for (int c = 0; c < 8; ++c) bits |= static_cast<unsigned>(src[c] == 0x0000) << c;
    return bits;
#endif
}

}  // namespace

void blit_keyed(const Rgb565* image, std::int16_t x, std::int16_t y, FrameSurface* surface, Rgb565 key,
                std::uint16_t width, std::uint16_t height) {
    // Picture pixel (c, r) lands on (x + c, y + r), summed in full: copy only
    // the columns and rows that lie on the screen.
    const int c_first = std::max(0, -x), c_last = std::min(width - 1, SCREEN_WIDTH - 1 - x);
    const int r_first = std::max(0, -y), r_last = std::min(height - 1, SCREEN_HEIGHT - 1 - y);
    if (c_first > c_last) return;
    for (int r = r_first; r <= r_last; ++r)
        copy_keyed(image + static_cast<std::int64_t>(r) * width + c_first,
                   surface->pixels + (y + r) * SCREEN_WIDTH + x + c_first, c_last - c_first + 1, key);
}

void draw_glyph(const Rgb565* sheet, std::int32_t x, std::int32_t y, Rgb565 colour, std::int32_t code,
                FrameSurface* surface) {
    if (code < 0 || code > 255) return;
    const int cx = (code % 32) * GLYPH_WIDTH;
    const int cy = (code / 32) * GLYPH_HEIGHT;
    // Columns 1-319 only: the cell's first column is the gap between letters,
    // and screen column 0 is never written by text.
    const std::int64_t wx = x, wy = y;
    const int c_first = static_cast<int>(std::clamp<std::int64_t>(1 - wx, 0, GLYPH_WIDTH));
    const int c_last = static_cast<int>(std::clamp<std::int64_t>(SCREEN_WIDTH - 1 - wx, -1, GLYPH_WIDTH - 1));
    // Rows off the surface draw nothing.
    const int r_first = static_cast<int>(std::clamp<std::int64_t>(-wy, 0, GLYPH_HEIGHT));
    const int r_last = static_cast<int>(std::clamp<std::int64_t>(SCREEN_HEIGHT - 1 - wy, -1, GLYPH_HEIGHT - 1));
    if (c_first > c_last || r_first > r_last) return;
    const Rgb565* src = sheet + (cy + r_first) * FONT_SHEET_WIDTH + cx;
    Rgb565* row = surface->pixels + (wy + r_first) * SCREEN_WIDTH + wx;
#ifdef BURROW_GFX_SSE2
    if (c_first == 0 && c_last == GLYPH_WIDTH - 1) {
        // The whole cell row is on the screen: the ink lanes take the colour,
        // every other pixel keeps its value, eight pixels per store.
        const __m128i paint = _mm_set1_epi16(static_cast<short>(colour));
        for (int r = r_first; r <= r_last; ++r, src += FONT_SHEET_WIDTH, row += SCREEN_WIDTH) {
            const __m128i cell = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src));
            const __m128i ink = _mm_cmpeq_epi16(cell, _mm_setzero_si128());
            const __m128i under = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(row),
                             _mm_or_si128(_mm_and_si128(ink, paint), _mm_andnot_si128(ink, under)));
        }
        return;
    }
#endif
    const unsigned columns = (0xFFu >> (GLYPH_WIDTH - 1 - c_last)) & (0xFFu << c_first);
    for (int r = r_first; r <= r_last; ++r, src += FONT_SHEET_WIDTH, row += SCREEN_WIDTH) {
        // Most cell rows are blank or nearly so: find the row's ink once,
        // then store only those pixels.
        unsigned ink = ink_bits(src) & columns;
        for (; ink != 0; ink &= ink - 1) row[__builtin_ctz(ink)] = colour;
    }
}

void draw_text(std::int32_t x, std::int32_t y, Rgb565 colour, const char* text, FrameSurface* surface) {
    const std::size_t n = std::strlen(text);
    for (std::size_t i = 0; i < n; ++i) {
        const std::int64_t gx = static_cast<std::int64_t>(x) + 8 * static_cast<std::int64_t>(i);
        if (gx > SCREEN_WIDTH) break;  // this cell and every later one lie right of the screen
        if (gx < -GLYPH_WIDTH) continue;
        draw_glyph(g_font_sheet, static_cast<std::int32_t>(gx), y, colour, static_cast<unsigned char>(text[i]),
                   surface);
    }
}
