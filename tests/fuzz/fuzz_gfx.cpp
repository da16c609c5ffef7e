// Every drawing routine with arbitrary coordinates, sizes, character codes
// and colours, for memory safety under the address and undefined-behaviour
// sanitizers. The surface, the picture, the font sheet and the text each sit
// against guard pages (a stray access faults at once) and the surface also
// against guard bytes that are checked after every call. What the routines
// draw is compared with the literal routines in gfx_differential_test.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>

#include "assets/assets.h"
#include "game/tunnel.h"
#include "gfx/line.h"
#include "gfx/sprite.h"
#include "gfx/surface.h"
#include "tests/fuzz/fenced.h"

namespace {

// 153600 + 2048 bytes is exactly 38 pages: the surface sits against one guard
// page and the guard bytes fill the gap to the other.
constexpr std::size_t GUARD_BYTES = 2048;
constexpr unsigned char GUARD_VALUE = 0xA5;
constexpr std::size_t AREA_BYTES = SURFACE_BYTES + GUARD_BYTES;
constexpr std::uint64_t MAX_IMAGE_PIXELS = 65535ull * 65535ull;
constexpr std::size_t SHEET_BYTES = FONT_SHEET_WIDTH * FONT_SHEET_HEIGHT * sizeof(Rgb565);  // 16 pages
constexpr std::size_t TEXT_PAGE = 4096;

struct Memory {
    unsigned char* area;  // surface and guard bytes
    Rgb565* image_end;    // a picture ending here ends against a guard page
    Rgb565* image_start;  // a picture starting here starts against one
    const Rgb565* sheet;  // copy of the font sheet, read-only, fenced both sides
    char* text_end;       // a string ending here ends against a guard page
};

Memory& memory() {
    static Memory m = [] {
        Memory mem{};
        mem.area = fence::fenced_block(AREA_BYTES);
        const std::size_t image_bytes = fence::round_to_pages(MAX_IMAGE_PIXELS * sizeof(Rgb565));
        mem.image_end = reinterpret_cast<Rgb565*>(fence::fenced_block(image_bytes) + image_bytes);
        mem.image_start = reinterpret_cast<Rgb565*>(fence::fenced_block(image_bytes));
        unsigned char* sheet = fence::fenced_block(SHEET_BYTES);
        std::memcpy(sheet, g_font_sheet, SHEET_BYTES);
        fence::make_read_only(sheet, SHEET_BYTES);
        mem.sheet = reinterpret_cast<const Rgb565*>(sheet);
        mem.text_end = reinterpret_cast<char*>(fence::fenced_block(TEXT_PAGE)) + TEXT_PAGE;
        return mem;
    }();
    return m;
}

char g_call[256];      // the call being made, for the report

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "fuzz_gfx: %s after %s\n", what, g_call);
    std::abort();
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

void check_guard(const unsigned char* guard) {
    for (std::size_t i = 0; i < GUARD_BYTES; ++i)
        if (guard[i] != GUARD_VALUE) fail("guard bytes next to the surface overwritten");
}

// One drawing call chosen by the input.
void one_call(FuzzedDataProvider& in, FrameSurface* surface) {
    const Memory& mem = memory();
    switch (in.ConsumeIntegralInRange(0, 10)) {
        case 0:
        case 1: {
            const bool clipped = in.ConsumeBool();
            const std::int32_t x = clipped ? pick16(in) : pick32(in), y = clipped ? pick16(in) : pick32(in);
            const Rgb565 c = in.ConsumeIntegral<Rgb565>();
            std::snprintf(g_call, sizeof g_call, "put_pixel%s(%d, %d, 0x%04X)", clipped ? "_clipped" : "", x, y, c);
            if (clipped)
                put_pixel_clipped(static_cast<std::int16_t>(x), static_cast<std::int16_t>(y), c, surface);
            else
                put_pixel(x, y, c, surface);
            break;
        }
        case 2:
            std::snprintf(g_call, sizeof g_call, "clear_surface()");
            clear_surface(surface);
            break;
        case 3: {
            const std::int32_t x = pick32(in), y = pick32(in);
            std::snprintf(g_call, sizeof g_call, "get_pixel(%d, %d)", x, y);
            if (!on_surface(x, y) && get_pixel(x, y, surface) != COLOR_OFF_SURFACE) fail("get_pixel read off the surface");
            break;
        }
        case 4:
        case 5: {
            const bool fill = in.ConsumeBool();
            const std::int32_t x0 = pick32(in), y0 = pick32(in), x1 = pick32(in), y1 = pick32(in);
            const Rgb565 c = in.ConsumeIntegral<Rgb565>();
            std::snprintf(g_call, sizeof g_call, "%s(%d, %d, %d, %d, 0x%04X)", fill ? "fill_rows" : "draw_line", x0, y0,
                          x1, y1, c);
            (fill ? fill_rows : draw_line)(x0, y0, x1, y1, c, surface);
            break;
        }
        case 6: {
            const std::int32_t y = pick32(in);
            std::snprintf(g_call, sizeof g_call, "draw_gradient_bar(%d)", y);
            draw_gradient_bar(y, surface);
            break;
        }
        case 7: {
            const std::int16_t x = pick16(in), y = pick16(in);
            const std::uint16_t w = pick_size(in), h = pick_size(in);
            const Rgb565 key = in.ConsumeBool() ? COLOR_KEY : in.ConsumeIntegral<Rgb565>();
            const bool at_end = in.ConsumeBool();
            // What the picture holds does not change what blit_keyed reads or
            // where it may write: its pages are left as they are.
            const Rgb565* image = at_end ? mem.image_end - std::uint64_t{w} * h : mem.image_start;
            std::snprintf(g_call, sizeof g_call, "blit_keyed(%s picture, %d, %d, key 0x%04X, %u x %u)",
                          at_end ? "end-fenced" : "start-fenced", x, y, key, w, h);
            blit_keyed(image, x, y, surface, key, w, h);
            break;
        }
        case 8: {
            const std::int32_t x = pick32(in), y = pick32(in);
            const Rgb565 c = in.ConsumeIntegral<Rgb565>();
            const std::int32_t code = in.ConsumeBool() ? in.ConsumeIntegralInRange<std::int32_t>(-2, 257) : pick32(in);
            std::snprintf(g_call, sizeof g_call, "draw_glyph(%d, %d, 0x%04X, code %d)", x, y, c, code);
            draw_glyph(mem.sheet, x, y, c, code, surface);
            break;
        }
        case 9: {
            const std::int32_t x = pick32(in), y = pick32(in);
            const Rgb565 c = in.ConsumeIntegral<Rgb565>();
            const std::string s = in.ConsumeRandomLengthString(300);
            char* text = mem.text_end - s.size() - 1;
            std::memcpy(text, s.data(), s.size());
            text[s.size()] = '\0';
            std::snprintf(g_call, sizeof g_call, "draw_text(%d, %d, 0x%04X, %zu bytes)", x, y, c, std::strlen(text));
            draw_text(x, y, c, text, surface);
            break;
        }
        default: {
            const std::int32_t x = pick32(in), top = pick32(in), gap = pick32(in);
            std::snprintf(g_call, sizeof g_call, "draw_tunnel_column(%d, %d, %d)", x, top, gap);
            draw_tunnel_column(x, top, gap, surface);
            break;
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const Memory& mem = memory();
    // Guard bytes before or after the surface, the other end against a page.
    const bool guard_first = in.ConsumeBool();
    unsigned char* guard = guard_first ? mem.area : mem.area + SURFACE_BYTES;
    FrameSurface* surface = reinterpret_cast<FrameSurface*>(guard_first ? mem.area + GUARD_BYTES : mem.area);
    std::memset(guard, GUARD_VALUE, GUARD_BYTES);
    const Rgb565 background = in.ConsumeIntegral<Rgb565>();
    std::fill(surface->pixels, surface->pixels + SCREEN_WIDTH * SCREEN_HEIGHT, background);
    for (int calls = 0; calls < 8 && in.remaining_bytes() > 0; ++calls) {
        one_call(in, surface);
        check_guard(guard);
    }
    return 0;
}
