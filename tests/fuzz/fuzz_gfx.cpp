// Every drawing routine with arbitrary coordinates, sizes, character codes
// and colours, for memory safety under the address and undefined-behaviour
// sanitizers. The surface, the font sheet and the text are each a heap block
// of exactly their size and a picture lies against the start or the end of
// one, so the address sanitizer reports a read or write just past an end at
// once. What the routines draw is compared with the literal routines in
// gfx_differential_test.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "assets/assets.h"
#include "game/tunnel.h"
#include "gfx/line.h"
#include "gfx/sprite.h"
#include "gfx/surface.h"

namespace {

// The largest picture there is (8 GiB of address space, of which only the
// pages a blit reads are ever touched). A smaller picture is placed against
// its start or its end.
constexpr std::uint64_t MAX_IMAGE_PIXELS = 65535ull * 65535ull;
const Rgb565* picture_block() {
    static const Rgb565* const block = new Rgb565[MAX_IMAGE_PIXELS];
    return block;
}

// Mostly values near the screen or near a multiple of 65536 (where a 16-bit
// pixel store would bring them back onto the screen); sometimes anything or
// the ends of the range.
std::int32_t pick32(FuzzedDataProvider& in) {
    const int kind = in.ConsumeIntegralInRange(0, 15);
    if (kind <= 8) return in.ConsumeIntegralInRange<std::int32_t>(-80, 400);
    if (kind <= 13) {
        const std::int64_t k = kind <= 12 ? in.ConsumeIntegralInRange<std::int64_t>(-8, 8)
                                          : in.ConsumeIntegralInRange<std::int64_t>(-32768, 32767);
        return static_cast<std::int32_t>(std::clamp<std::int64_t>(k * 65536 + in.ConsumeIntegralInRange(-330, 330),
                                                                  std::numeric_limits<std::int32_t>::min(),
                                                                  std::numeric_limits<std::int32_t>::max()));
    }
    if (kind == 14) return in.ConsumeIntegral<std::int32_t>();
    const std::int32_t s = in.ConsumeIntegralInRange<std::int32_t>(0, 400);
    return in.ConsumeBool() ? std::numeric_limits<std::int32_t>::max() - s : std::numeric_limits<std::int32_t>::min() + s;
}

std::int16_t pick16(FuzzedDataProvider& in) {
    if (in.ConsumeBool()) return in.ConsumeIntegralInRange<std::int16_t>(-80, 400);
    return in.ConsumeIntegral<std::int16_t>();
}

std::uint16_t pick_size(FuzzedDataProvider& in) {
    switch (in.ConsumeIntegralInRange(0, 2)) {
        case 0: return in.ConsumeIntegralInRange<std::uint16_t>(0, 64);
        case 1: return in.ConsumeIntegral<std::uint16_t>();
        default: {
            static constexpr std::uint16_t EDGES[] = {32767, 32768, 65535, 65534, 320, 321, 240, 241};
            return EDGES[in.ConsumeIntegralInRange<std::size_t>(0, 7)];
        }
    }
}

// One drawing call chosen by the input.
void one_call(FuzzedDataProvider& in, FrameSurface* surface) {
    switch (in.ConsumeIntegralInRange(0, 10)) {
        case 0:
        case 1: {
            const bool clipped = in.ConsumeBool();
            const std::int32_t x = clipped ? pick16(in) : pick32(in), y = clipped ? pick16(in) : pick32(in);
            const Rgb565 c = in.ConsumeIntegral<Rgb565>();
            if (clipped)
                put_pixel_clipped(static_cast<std::int16_t>(x), static_cast<std::int16_t>(y), c, surface);
            else
                put_pixel(x, y, c, surface);
            break;
        }
        case 2:
            clear_surface(surface);
            break;
        case 3: {
            const std::int32_t x = pick32(in), y = pick32(in);
            if (!on_surface(x, y) && get_pixel(x, y, surface) != COLOR_OFF_SURFACE) {
                std::fprintf(stderr, "fuzz_gfx: get_pixel(%d, %d) read off the surface\n", x, y);
                std::abort();
            }
            break;
        }
        case 4:
        case 5: {
            const bool fill = in.ConsumeBool();
            const std::int32_t x0 = pick32(in), y0 = pick32(in), x1 = pick32(in), y1 = pick32(in);
            const Rgb565 c = in.ConsumeIntegral<Rgb565>();
            (fill ? fill_rows : draw_line)(x0, y0, x1, y1, c, surface);
            break;
        }
        case 6:
            draw_gradient_bar(pick32(in), surface);
            break;
        case 7: {
            const std::int16_t x = pick16(in), y = pick16(in);
            const std::uint16_t w = pick_size(in), h = pick_size(in);
            const Rgb565 key = in.ConsumeBool() ? COLOR_KEY : in.ConsumeIntegral<Rgb565>();
            const bool at_end = in.ConsumeBool();
            // What the picture holds does not change what blit_keyed reads or
            // where it may write: the block is left as it is.
            const Rgb565* image = picture_block() + (at_end ? MAX_IMAGE_PIXELS - std::uint64_t{w} * h : 0);
            blit_keyed(image, x, y, surface, key, w, h);
            break;
        }
        case 8: {
            const std::int32_t x = pick32(in), y = pick32(in);
            const Rgb565 c = in.ConsumeIntegral<Rgb565>();
            const std::int32_t code = in.ConsumeBool() ? in.ConsumeIntegralInRange<std::int32_t>(-2, 257) : pick32(in);
            static const std::vector<Rgb565> sheet(g_font_sheet, g_font_sheet + FONT_SHEET_WIDTH * FONT_SHEET_HEIGHT);
            draw_glyph(sheet.data(), x, y, c, code, surface);
            break;
        }
        case 9: {
            const std::int32_t x = pick32(in), y = pick32(in);
            const Rgb565 c = in.ConsumeIntegral<Rgb565>();
            const std::string s = in.ConsumeRandomLengthString(300);
            const std::unique_ptr<char[]> text(new char[s.size() + 1]);
            std::memcpy(text.get(), s.c_str(), s.size() + 1);
            draw_text(x, y, c, text.get(), surface);
            break;
        }
        default: {
            const std::int32_t x = pick32(in), top = pick32(in), gap = pick32(in);
            draw_tunnel_column(x, top, gap, surface);
            break;
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    static FrameSurface* const surface = new FrameSurface;
    // This byte once chose a side for guard bytes; it is still read so that
    // the saved corpus keeps meaning the same calls.
    in.ConsumeBool();
    const Rgb565 background = in.ConsumeIntegral<Rgb565>();
    std::fill(surface->pixels, surface->pixels + SCREEN_WIDTH * SCREEN_HEIGHT, background);
    for (int calls = 0; calls < 8 && in.remaining_bytes() > 0; ++calls) one_call(in, surface);
    return 0;
}
