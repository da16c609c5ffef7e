#include "ports/desktop/video.h"

#include <SDL.h>
#include <time.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "assets/assets.h"
#include "ports/common/pixels.h"

namespace {

// The window's class: the desktop file's id, so that docks and task bars find
// the game's name and icon from the running window.
constexpr char DESKTOP_ID[] = "org.burrowrotor.Burrowrotor";

SDL_Window* s_window = nullptr;
SDL_Renderer* s_renderer = nullptr;
SDL_Texture* s_texture = nullptr;
bool s_have_frame = false;
int s_status_rows = 0;  // STATUS_ROWS when the status line shows beneath the frame
bool s_paused = false;

// A strip of text in the game's own font. draw_text draws into a whole frame
// surface; the strip is its top STATUS_ROWS rows.
struct TextStrip {
    SDL_Texture* texture = nullptr;
    char text[41] = {};
    bool highlight = false;
};
TextStrip s_status;  // beneath the frame
TextStrip s_pause;   // over the dimmed frame where the status line is left out

void draw_strip(TextStrip* strip) {
    static FrameSurface pixels;
    status_line_draw(strip->text, strip->highlight, &pixels);
    if (strip->texture != nullptr)
        SDL_UpdateTexture(strip->texture, nullptr, pixels.pixels, SCREEN_WIDTH * static_cast<int>(sizeof(Rgb565)));
}

bool open_strip(TextStrip* strip, std::string* error) {
    strip->texture = SDL_CreateTexture(s_renderer, SDL_PIXELFORMAT_RGB565, SDL_TEXTUREACCESS_STREAMING, SCREEN_WIDTH,
                                       STATUS_ROWS);
    if (strip->texture == nullptr) {
        *error = SDL_GetError();
        return false;
    }
    draw_strip(strip);
    return true;
}

void close_strip(TextStrip* strip) {
    if (strip->texture != nullptr) SDL_DestroyTexture(strip->texture);
    strip->texture = nullptr;
}

// The chopper the player flies, twice its size on a transparent square.
void set_icon() {
    constexpr int K = 2, SIDE = CHOPPER_WIDTH * K, TOP = (SIDE - CHOPPER_HEIGHT * K) / 2;
    static std::uint32_t argb[SIDE * SIDE];
    for (int y = 0; y < CHOPPER_HEIGHT * K; ++y)
        for (int x = 0; x < SIDE; ++x) {
            const Rgb565 p = g_chopper_frame_a[(y / K) * CHOPPER_WIDTH + x / K];
            const Rgb8 c = rgb8(p);
            argb[(TOP + y) * SIDE + x] = p == COLOR_KEY ? 0u : 0xFF000000u | c.r << 16 | c.g << 8 | c.b;
        }
    SDL_Surface* icon = SDL_CreateRGBSurfaceWithFormatFrom(argb, SIDE, SIDE, 32, SIDE * 4, SDL_PIXELFORMAT_ARGB8888);
    if (icon == nullptr) return;  // a window without its icon still plays
    SDL_SetWindowIcon(s_window, icon);
    SDL_FreeSurface(icon);
}

// SDL falls back on drivers that draw into memory when no display answers
// (offscreen, dummy), which would leave the player playing blind; those run
// only when asked for by name in SDL_VIDEODRIVER.
bool init_display_driver(std::string* error) {
    const char* chosen = SDL_getenv("SDL_VIDEODRIVER");
    if (chosen != nullptr && *chosen != '\0') {
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) == 0) return true;
        *error = SDL_GetError();
        return false;
    }
    const char* wayland = SDL_getenv("WAYLAND_DISPLAY");
    for (int i = 0; i < SDL_GetNumVideoDrivers(); ++i) {
        const std::string name = SDL_GetVideoDriver(i);
        if (name == "offscreen" || name == "dummy" || name == "evdev") continue;
        // Without a compositor named, libwayland would only complain on stderr.
        if (name == "wayland" && (wayland == nullptr || *wayland == '\0')) continue;
        // Through the environment: the SDL 2.0.14 of older handheld firmware
        // has no hint for it, and newer SDL reads the variable as the hint.
        SDL_setenv("SDL_VIDEODRIVER", name.c_str(), 1);
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) == 0) return true;
        if (error->empty()) *error = SDL_GetError();
    }
    const char* display = SDL_getenv("DISPLAY");
    if (error->empty()) *error = "no video driver";
    if (display == nullptr || *display == '\0') *error += " (DISPLAY is not set)";
    return false;
}

bool fail(std::string* error) {
    *error = SDL_GetError();
    video_close();
    return false;
}

// The frame at the largest whole scale that fits the window (the whole screen
// in fullscreen), centred; the rest of the window stays black.
void present() {
    SDL_SetRenderDrawColor(s_renderer, 0, 0, 0, 255);
    SDL_RenderClear(s_renderer);  // the letterbox bars
    int width = 0, height = 0;
    if (SDL_GetRendererOutputSize(s_renderer, &width, &height) == 0) {
        const FrameFit fit = fit_frame(width, height, s_status_rows);
        const SDL_Rect where{fit.x, fit.y, fit.width, fit.height};
        if (s_have_frame) SDL_RenderCopy(s_renderer, s_texture, nullptr, &where);
        const SDL_Rect below{fit.x, fit.y + fit.height, fit.width, STATUS_ROWS * fit.scale};
        if (s_status_rows != 0 && fit.rows_below) SDL_RenderCopy(s_renderer, s_status.texture, nullptr, &below);
        if (s_paused && (s_status_rows == 0 || !fit.rows_below)) {
            // The pause in the port's own layer, over the presented picture only.
            SDL_SetRenderDrawBlendMode(s_renderer, SDL_BLENDMODE_BLEND);
            SDL_SetRenderDrawColor(s_renderer, 0, 0, 0, 160);
            SDL_RenderFillRect(s_renderer, &where);
            const SDL_Rect label{fit.x, fit.y + (fit.height - STATUS_ROWS * fit.scale) / 2, fit.width,
                                 STATUS_ROWS * fit.scale};
            SDL_RenderCopy(s_renderer, s_pause.texture, nullptr, &label);
        }
    }
    SDL_RenderPresent(s_renderer);
}

std::int64_t refresh_time(const RefreshClock* clock, std::int64_t tick) {
    // Whole seconds and the remaining ticks separately: exact, and no overflow
    // for centuries of play.
    return clock->anchor_ns + (tick / REFRESH_HZ) * NS_PER_SECOND + (tick % REFRESH_HZ) * NS_PER_SECOND / REFRESH_HZ;
}

}  // namespace

FrameFit fit_frame(int width, int height, int rows_below) {
    const int alone = std::max(1, std::min(width / SCREEN_WIDTH, height / SCREEN_HEIGHT));
    const int with_rows = std::max(1, std::min(width / SCREEN_WIDTH, height / (SCREEN_HEIGHT + rows_below)));
    FrameFit f{};
    f.scale = alone;
    f.rows_below = with_rows == alone;
    if (!f.rows_below) rows_below = 0;
    f.width = SCREEN_WIDTH * f.scale;
    f.height = SCREEN_HEIGHT * f.scale;
    f.x = (width - f.width) / 2;
    f.y = (height - f.height - rows_below * f.scale) / 2;
    return f;
}

void status_line_draw(const char* text, bool highlight, FrameSurface* strip) {
    std::memset(strip->pixels, 0, sizeof(Rgb565) * SCREEN_WIDTH * STATUS_ROWS);
    const int width = static_cast<int>(std::strlen(text)) * GLYPH_WIDTH;
    draw_text((SCREEN_WIDTH - width) / 2, 0, highlight ? COLOR_HIGHLIGHT : COLOR_WHITE, text, strip);
}

bool status_line_set(const char* text, bool highlight) {
    if (std::strncmp(text, s_status.text, sizeof s_status.text - 1) == 0 && highlight == s_status.highlight) return false;
    std::strncpy(s_status.text, text, sizeof s_status.text - 1);
    s_status.highlight = highlight;
    draw_strip(&s_status);
    return true;
}

void video_set_paused(bool paused) { s_paused = paused; }

bool video_wants_vsync(int monitor_hz) { return monitor_hz >= 120; }

void video_add_status_line() { s_status_rows = STATUS_ROWS; }

bool video_open(int scale, bool fullscreen, std::string* error) {
    error->clear();
    const int height = SCREEN_HEIGHT + s_status_rows;
    // The window's class, through the environment, which old and new SDL
    // alike read when the video starts; a class the player set stays.
    SDL_setenv("SDL_VIDEO_X11_WMCLASS", DESKTOP_ID, 0);
    SDL_setenv("SDL_VIDEO_WAYLAND_WMCLASS", DESKTOP_ID, 0);
    if (!init_display_driver(error)) return false;
    // Let a desktop compositor keep the window tear-free; SDL would otherwise
    // ask it to step aside, which is meant for games that sync to the monitor.
    SDL_SetHint(SDL_HINT_VIDEO_X11_NET_WM_BYPASS_COMPOSITOR, "0");
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");

    Uint32 flags = SDL_WINDOW_RESIZABLE | SDL_WINDOW_ALLOW_HIGHDPI;
    if (fullscreen) flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
    s_window = SDL_CreateWindow("Burrowrotor", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, SCREEN_WIDTH * scale,
                                height * scale, flags);
    if (s_window == nullptr) return fail(error);
    set_icon();
    SDL_SetWindowMinimumSize(s_window, SCREEN_WIDTH, height);

    SDL_DisplayMode mode{};
    const int display = SDL_GetWindowDisplayIndex(s_window);
    const int monitor_hz = display >= 0 && SDL_GetCurrentDisplayMode(display, &mode) == 0 ? mode.refresh_rate : 0;
    const Uint32 vsync = video_wants_vsync(monitor_hz) ? SDL_RENDERER_PRESENTVSYNC : 0;
    s_renderer = SDL_CreateRenderer(s_window, -1, SDL_RENDERER_ACCELERATED | vsync);
    if (s_renderer == nullptr) s_renderer = SDL_CreateRenderer(s_window, -1, vsync);
    if (s_renderer == nullptr) return fail(error);
    // The frame's own pixel format: SDL copies the RGB565 words as they are.
    s_texture = SDL_CreateTexture(s_renderer, SDL_PIXELFORMAT_RGB565, SDL_TEXTUREACCESS_STREAMING, SCREEN_WIDTH,
                                  SCREEN_HEIGHT);
    if (s_texture == nullptr) return fail(error);
    std::strcpy(s_pause.text, "PAUSED");
    s_pause.highlight = true;
    if ((s_status_rows != 0 && !open_strip(&s_status, error)) || !open_strip(&s_pause, error)) {
        video_close();
        return false;
    }
    s_have_frame = false;
    present();
    return true;
}

void video_show(const FrameSurface* frame) {
    SDL_UpdateTexture(s_texture, nullptr, frame->pixels, SCREEN_WIDTH * static_cast<int>(sizeof(Rgb565)));
    s_have_frame = true;
    present();
}

void video_redraw() { present(); }

void video_toggle_fullscreen() {
    const bool full = (SDL_GetWindowFlags(s_window) & SDL_WINDOW_FULLSCREEN_DESKTOP) == SDL_WINDOW_FULLSCREEN_DESKTOP;
    SDL_SetWindowFullscreen(s_window, full ? 0 : SDL_WINDOW_FULLSCREEN_DESKTOP);
}

void video_set_title(const char* title) { SDL_SetWindowTitle(s_window, title); }

void video_close() {
    close_strip(&s_status);
    close_strip(&s_pause);
    if (s_texture != nullptr) SDL_DestroyTexture(s_texture);
    if (s_renderer != nullptr) SDL_DestroyRenderer(s_renderer);
    if (s_window != nullptr) SDL_DestroyWindow(s_window);
    s_texture = nullptr;
    s_renderer = nullptr;
    s_window = nullptr;
}

void refresh_clock_start(RefreshClock* clock, std::int64_t now_ns) {
    clock->anchor_ns = now_ns;
    clock->ticks = 0;
}

std::int64_t refresh_clock_next(RefreshClock* clock, std::int64_t now_ns) {
    clock->ticks += 1;
    const std::int64_t due = refresh_time(clock, clock->ticks);
    if (now_ns - due > MAX_LATE_NS) {
        refresh_clock_start(clock, now_ns);
        return now_ns;
    }
    return due;
}

std::int64_t monotonic_ns() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<std::int64_t>(t.tv_sec) * NS_PER_SECOND + t.tv_nsec;
}

void sleep_until_ns(std::int64_t deadline_ns) {
    timespec t{};
    t.tv_sec = static_cast<time_t>(deadline_ns / NS_PER_SECOND);
    t.tv_nsec = static_cast<long>(deadline_ns % NS_PER_SECOND);
    // Absolute sleep: a signal that interrupts it just sleeps again to the same moment.
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &t, nullptr) == EINTR) {
    }
}
