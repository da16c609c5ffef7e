#include "gfx/line.h"

#include <algorithm>

#include "gfx/span.h"

using gfx_detail::fill_block;
using gfx_detail::for_each_window;
using gfx_detail::range_hits_screen;
using gfx_detail::wrap16;

namespace {

// A line whose minor difference is at most 1/16 of its major one is stored as
// row segments; steeper lines step pixel by pixel.
constexpr std::int64_t SHALLOW_RUN = 16;

// Position along the minor axis of a Bresenham line, in closed form: after k
// steps of the major axis the minor coordinate has moved
// floor((2*minor*k + major) / (2*major)) pixels. Kept as quotient and
// remainder so that it can jump ahead between screen windows and step by one
// inside them with additions only.
struct MinorWalk {
    std::int64_t twice_minor;  // 2 * |minor difference|
    std::int64_t denom;        // 2 * |major difference|, 0 for a single point
    std::int64_t k = 0;
    std::int64_t q = 0;
    std::int64_t r = 0;

    MinorWalk(std::int64_t minor, std::int64_t major) : twice_minor(2 * minor), denom(2 * major) {
        r = major;
        if (denom > 0 && r >= denom) {
            q = r / denom;
            r %= denom;
        }
    }
    // Jumps forward to step `target` (never backward); the jump is at most a
    // few windows, so the product stays well inside 64 bits.
    void jump_to(std::int64_t target) {
        if (denom == 0) {
            k = target;
            return;
        }
        const std::int64_t add = twice_minor * (target - k);
        q += add / denom;
        r += add % denom;
        if (r >= denom) {
            r -= denom;
            ++q;
        }
        k = target;
    }
    void step() {
        ++k;
        r += twice_minor;
        if (r >= denom && denom > 0) {
            r -= denom;
            ++q;
        }
    }
};

// Stores pixels (major, minor) along one axis-sorted line. The major screen
// coordinate of step k is wrap16(m0 + sm*k), which the window guarantees is on
// the screen; the minor one is tested per pixel.
template <bool MajorIsX>
void walk_line(std::int64_t major0, int major_step, std::int64_t major_len, std::int64_t minor0, int minor_step,
               std::int64_t minor_len, Rgb565 colour, FrameSurface* surface) {
    const std::int64_t major_limit = MajorIsX ? SCREEN_WIDTH : SCREEN_HEIGHT;
    const std::int64_t minor_limit = MajorIsX ? SCREEN_HEIGHT : SCREEN_WIDTH;
    MinorWalk walk(minor_len, major_len);
    for_each_window(major0, major_step, major_len + 1, major_limit, [&](std::int64_t first, std::int64_t last) {
        walk.jump_to(first);
        MinorWalk end = walk;
        end.jump_to(last);
        const std::int64_t m_first = minor0 + minor_step * walk.q;
        const std::int64_t m_last = minor0 + minor_step * end.q;
        if (!range_hits_screen(std::min(m_first, m_last), std::max(m_first, m_last), minor_limit)) return;

        if (minor_len == 0) {
            // A straight row or column: one test for the whole run.
            const std::int64_t minor = wrap16(minor0);
            const std::int64_t a = wrap16(major0 + major_step * first);
            const std::int64_t b = wrap16(major0 + major_step * last);
            const std::int64_t lo = std::min(a, b), hi = std::max(a, b);
            if (MajorIsX) {
                Rgb565* row = surface->pixels + minor * SCREEN_WIDTH;
                fill_block(row + lo, 1, hi - lo + 1, colour);
            } else {
                for (std::int64_t y = lo; y <= hi; ++y) surface->pixels[y * SCREEN_WIDTH + minor] = colour;
            }
            return;
        }
        std::int64_t major = wrap16(major0 + major_step * first);
        if (MajorIsX && SHALLOW_RUN * minor_len <= major_len) {
            // A shallow line, such as the menu band's: long runs on one row.
            // Each run's length comes from the remainder with one division,
            // and the run is stored as a row segment.
            for (std::int64_t k = first; k <= last;) {
                std::int64_t len = (walk.denom - walk.r + walk.twice_minor - 1) / walk.twice_minor;
                if (len > last - k + 1) len = last - k + 1;
                const std::int64_t minor = wrap16(minor0 + minor_step * walk.q);
                if (minor < minor_limit) {
                    Rgb565* row = surface->pixels + minor * SCREEN_WIDTH;
                    const std::int64_t lo = major_step > 0 ? major : major - len + 1;
                    fill_block(row + lo, 1, len, colour);
                }
                major += major_step * len;
                k += len;
                if (k > last) break;
                // The run ended where the remainder passed the denominator:
                // exactly one step of the minor coordinate.
                walk.r += walk.twice_minor * len - walk.denom;
                walk.q += 1;
                walk.k = k;
            }
            return;
        }
        for (std::int64_t k = first; k <= last; ++k) {
            const std::int64_t minor = wrap16(minor0 + minor_step * walk.q);
            if (minor < minor_limit) {
                if (MajorIsX)
                    surface->pixels[minor * SCREEN_WIDTH + major] = colour;
                else
                    surface->pixels[major * SCREEN_WIDTH + minor] = colour;
            }
            major += major_step;
            if (k < last) walk.step();
        }
    });
}

}  // namespace

void draw_line_wide(std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1, Rgb565 colour,
                    FrameSurface* surface) {
    const std::int64_t dx = x1 - x0, dy = y1 - y0;
    const int sx = dx < 0 ? -1 : 1, sy = dy < 0 ? -1 : 1;
    const std::int64_t adx = dx < 0 ? -dx : dx, ady = dy < 0 ? -dy : dy;
    // The steeper axis carries one pixel per step; equal slopes and single
    // points go along y, as the stepping rule does.
    if (adx > ady)
        walk_line<true>(x0, sx, adx, y0, sy, ady, colour, surface);
    else
        walk_line<false>(y0, sy, ady, x0, sx, adx, colour, surface);
}

void draw_line(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1, Rgb565 colour,
               FrameSurface* surface) {
    draw_line_wide(x0, y0, x1, y1, colour, surface);
}

void fill_rows_wide(std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1, Rgb565 colour,
                    FrameSurface* surface) {
    if (y0 > y1) return;
    // Every row is the same one-colour horizontal line, so only the sets of
    // screen columns and rows matter: a coordinate whose low 16 bits are off
    // the screen stores nothing, and one that comes back onto it after 65536
    // steps repeats an earlier one. Find both sets once, then fill.
    struct Span {
        std::int64_t lo, hi;
    };
    Span cols[2];
    int ncols = 0;
    const std::int64_t left = std::min(x0, x1);
    const std::int64_t width = (x0 < x1 ? x1 - x0 : x0 - x1) + 1;
    if (width >= gfx_detail::WRAP) {
        cols[ncols++] = {0, SCREEN_WIDTH - 1};
    } else {
        for_each_window(left, 1, width, SCREEN_WIDTH, [&](std::int64_t first, std::int64_t last) {
            if (ncols < 2) cols[ncols++] = {wrap16(left + first), wrap16(left + last)};
        });
    }
    if (ncols == 0) return;
    // Rows lo .. hi of the screen, each span of columns as one block.
    auto fill_screen_rows = [&](std::int64_t lo, std::int64_t hi) {
        for (int i = 0; i < ncols; ++i)
            fill_block(surface->pixels + lo * SCREEN_WIDTH + cols[i].lo, hi - lo + 1, cols[i].hi - cols[i].lo + 1,
                       colour);
    };
    if (y1 - y0 + 1 >= gfx_detail::WRAP) {
        fill_screen_rows(0, SCREEN_HEIGHT - 1);
        return;
    }
    // Inside one window the rows are consecutive screen rows.
    for_each_window(y0, 1, y1 - y0 + 1, SCREEN_HEIGHT, [&](std::int64_t first, std::int64_t last) {
        fill_screen_rows(wrap16(y0 + first), wrap16(y0 + last));
    });
}

void fill_rows(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1, Rgb565 colour,
               FrameSurface* surface) {
    fill_rows_wide(x0, y0, x1, y1, colour, surface);
}

void draw_gradient_bar(std::int32_t y, FrameSurface* surface) {
    // Red rising from black to 28 of 31 and back, one shade per row; each line
    // climbs one row across the screen, so the left half sits a row higher.
    for (int k = 0; k < 16; ++k) {
        const int red = k < 8 ? 4 * k : 4 * (15 - k);
        const Rgb565 colour = static_cast<Rgb565>(red << 11);
        const std::int64_t row = static_cast<std::int64_t>(y) + k;
        draw_line_wide(0, row - 1, SCREEN_WIDTH, row, colour, surface);
    }
}
