#include "gfx/line.h"

#include <algorithm>

#include "gfx/span.h"

using gfx_detail::fill_block;

namespace {

// A line whose minor difference is at most 1/16 of its major one is stored as
// row segments; steeper lines step pixel by pixel.
constexpr std::int64_t SHALLOW_RUN = 16;

// One line sorted by axis: step k (0 .. major) lies at major coordinate
// m0 + ms*k, and the minor coordinate has then moved
// floor((2*minor*k + major) / (2*major)) pixels from n0 -- the Bresenham
// stepping in closed form, an exact half-way counting as a step. Only the
// steps whose major coordinate lies on the screen are visited, all in 64-bit
// arithmetic, so a line costs at most one screen width or height of steps.
template <bool MajorIsX>
void walk_line(std::int64_t m0, int ms, std::int64_t major, std::int64_t n0, int ns, std::int64_t minor,
               Rgb565 colour, FrameSurface* surface) {
    const std::int64_t m_limit = MajorIsX ? SCREEN_WIDTH : SCREEN_HEIGHT;
    const std::int64_t n_limit = MajorIsX ? SCREEN_HEIGHT : SCREEN_WIDTH;
    const std::int64_t first = std::max<std::int64_t>(0, ms > 0 ? -m0 : m0 - (m_limit - 1));
    const std::int64_t last = std::min(major, ms > 0 ? m_limit - 1 - m0 : m0);
    if (first > last) return;
    std::int64_t m = m0 + ms * first;
    if (minor == 0) {
        // A straight row or column: one block.
        if (n0 < 0 || n0 >= n_limit) return;
        const std::int64_t lo = ms > 0 ? m : m - (last - first);
        if (MajorIsX)
            fill_block(surface->pixels + n0 * SCREEN_WIDTH + lo, 1, last - first + 1, colour);
        else
            fill_block(surface->pixels + lo * SCREEN_WIDTH + n0, last - first + 1, 1, colour);
        return;
    }
    // The minor position at step `first` as quotient q and remainder r of
    // (2*minor*first + major) / (2*major). Both differences are below 2^32, so
    // minor*first fits in 64 unsigned bits and the rest stays below 2^34.
    const std::int64_t twice_minor = 2 * minor, denom = 2 * major;
    const std::uint64_t p = static_cast<std::uint64_t>(minor) * static_cast<std::uint64_t>(first);
    const std::int64_t t = 2 * static_cast<std::int64_t>(p % static_cast<std::uint64_t>(major)) + major;
    std::int64_t q = static_cast<std::int64_t>(p / static_cast<std::uint64_t>(major)) + t / denom;
    std::int64_t r = t % denom;
    if (MajorIsX && SHALLOW_RUN * minor <= major) {
        // A shallow line, such as the menu band's: long runs on one row, each
        // run's length from the remainder with one division.
        for (std::int64_t k = first; k <= last;) {
            const std::int64_t len = std::min((denom - r + twice_minor - 1) / twice_minor, last - k + 1);
            const std::int64_t n = n0 + ns * q;
            if (n >= 0 && n < n_limit)
                fill_block(surface->pixels + n * SCREEN_WIDTH + (ms > 0 ? m : m - len + 1), 1, len, colour);
            m += ms * len;
            k += len;
            // The run ended where the remainder passed the denominator:
            // exactly one step of the minor coordinate.
            r += twice_minor * len - denom;
            ++q;
        }
        return;
    }
    for (std::int64_t k = first;; ++k, m += ms) {
        const std::int64_t n = n0 + ns * q;
        if (n >= 0 && n < n_limit) {
            if (MajorIsX)
                surface->pixels[n * SCREEN_WIDTH + m] = colour;
            else
                surface->pixels[m * SCREEN_WIDTH + n] = colour;
        }
        if (k == last) break;
        r += twice_minor;
        if (r >= denom) {
            r -= denom;
            ++q;
        }
    }
}

}  // namespace

void draw_line(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1, Rgb565 colour,
               FrameSurface* surface) {
    const std::int64_t dx = std::int64_t{x1} - x0, dy = std::int64_t{y1} - y0;
    const int sx = dx < 0 ? -1 : 1, sy = dy < 0 ? -1 : 1;
    const std::int64_t adx = dx < 0 ? -dx : dx, ady = dy < 0 ? -dy : dy;
    // The steeper axis carries one pixel per step; equal slopes and single
    // points go along y, as the stepping rule does.
    if (adx > ady)
        walk_line<true>(x0, sx, adx, y0, sy, ady, colour, surface);
    else
        walk_line<false>(y0, sy, ady, x0, sx, adx, colour, surface);
}

void fill_rows(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1, Rgb565 colour,
               FrameSurface* surface) {
    // Every row is the same horizontal line from x0 to x1: one block, cut to
    // the screen.
    const std::int64_t left = std::max(std::min(x0, x1), 0);
    const std::int64_t right = std::min(std::max(x0, x1), SCREEN_WIDTH - 1);
    const std::int64_t top = std::max(y0, 0), bottom = std::min(y1, SCREEN_HEIGHT - 1);
    if (left > right || top > bottom) return;
    fill_block(surface->pixels + top * SCREEN_WIDTH + left, bottom - top + 1, right - left + 1, colour);
}

void draw_gradient_bar(std::int32_t y, FrameSurface* surface) {
    // Red rising from black to 28 of 31 and back, one shade per row; each line
    // climbs one row across the screen, so the left half sits a row higher.
    for (int k = 0; k < 16; ++k) {
        const int red = k < 8 ? 4 * k : 4 * (15 - k);
        const std::int64_t row = std::int64_t{y} + k;
        if (row < 0 || row > SCREEN_HEIGHT) continue;  // both rows of this line are off the screen
        draw_line(0, static_cast<std::int32_t>(row - 1), SCREEN_WIDTH, static_cast<std::int32_t>(row),
                  static_cast<Rgb565>(red << 11), surface);
    }
}
