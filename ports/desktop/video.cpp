#include "ports/desktop/video.h"

#include <SDL.h>

#include "ports/desktop/frame_fit.h"
#include "ports/desktop/status_line.h"

namespace {

SDL_Window* s_window = nullptr;
SDL_Renderer* s_renderer = nullptr;
SDL_Texture* s_texture = nullptr;
bool s_have_frame = false;
int s_status_rows = 0;  // STATUS_ROWS when the status line shows beneath the frame

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
        // The status line goes beneath the frame only where it does not cost
        // the frame a whole step of scale (it does on a 640 x 480 screen).
        const FrameFit alone = fit_frame(width, height);
        FrameFit fit = fit_frame(width, height, s_status_rows);
        const bool line = s_status_rows != 0 && fit.scale == alone.scale;
        if (!line) fit = alone;
        const SDL_Rect where{fit.x, fit.y, fit.width, fit.height};
        if (s_have_frame) SDL_RenderCopy(s_renderer, s_texture, nullptr, &where);
        const SDL_Rect below{fit.x, fit.y + fit.height, fit.width, s_status_rows * fit.scale};
        if (line) status_line_render(s_renderer, below);
    }
    SDL_RenderPresent(s_renderer);
}

}  // namespace

bool video_wants_vsync(int monitor_hz) { return monitor_hz >= 120; }

void video_add_status_line() { s_status_rows = STATUS_ROWS; }

bool video_open(int scale, bool fullscreen, std::string* error) {
    error->clear();
    const int height = SCREEN_HEIGHT + s_status_rows;
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
    if (s_status_rows != 0 && !status_line_open(s_renderer, error)) {
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
    status_line_close();
    if (s_texture != nullptr) SDL_DestroyTexture(s_texture);
    if (s_renderer != nullptr) SDL_DestroyRenderer(s_renderer);
    if (s_window != nullptr) SDL_DestroyWindow(s_window);
    s_texture = nullptr;
    s_renderer = nullptr;
    s_window = nullptr;
}
