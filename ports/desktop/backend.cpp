#include "ports/desktop/backend.h"

#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "game/loop.h"
#include "platform/display.h"
#include "platform/platform.h"
#include "ports/common/submit.h"
#include "ports/desktop/input.h"
#include "ports/desktop/pause.h"
#include "ports/desktop/refresh_clock.h"
#include "ports/desktop/score_file.h"
#include "ports/desktop/scores.h"
#include "ports/desktop/session.h"
#include "ports/desktop/video.h"

namespace {

FrameSurface s_buffers[2];
DesktopOptions s_options;
RefreshClock s_clock;
std::uint64_t s_shown = 0;
std::int64_t s_fps_since_ns = 0;
std::uint64_t s_fps_since_frame = 0;

[[noreturn]] void finish(int status, const std::string& message) {
    std::string error;
    const bool closed = session_close(status != 0, &error);
    submit_stop();
    input_stop();
    video_close();
    SDL_Quit();
    // One line: what failed, and where a cut-short recording was kept.
    if (!message.empty() && !closed) std::fprintf(stderr, "burrowrotor: %s; %s\n", message.c_str(), error.c_str());
    if (!message.empty() && closed) std::fprintf(stderr, "burrowrotor: %s\n", message.c_str());
    if (!closed && status == 0) {
        std::fprintf(stderr, "burrowrotor: %s\n", error.c_str());
        status = 1;
    }
    std::exit(status);
}

// The desktop quits when the player says so; the game itself never ends.
void handle_events() {
    const InputRequests r = input_pump();
    if (r.quit) finish(0, "");
    if (r.toggle_fullscreen) video_toggle_fullscreen();
    if (pause_apply(r)) {
        scores_update_status(pause_active());
        video_redraw();
    } else if (r.redraw) {
        video_redraw();
    }
}

void update_fps_title(std::int64_t now_ns) {
    const std::int64_t elapsed = now_ns - s_fps_since_ns;
    if (elapsed < NS_PER_SECOND) return;
    const double fps = static_cast<double>(s_shown - s_fps_since_frame) * 1e9 / static_cast<double>(elapsed);
    char title[64];
    std::snprintf(title, sizeof title, "Burrowrotor - %.1f fps", fps);
    video_set_title(title);
    s_fps_since_ns = now_ns;
    s_fps_since_frame = s_shown;
}

}  // namespace

// Returns at the next tick of our own 60 Hz clock; a frame that took too long
// returns at once and is shown late, never dropped. While the game is paused
// it does not return; the clock starts afresh when play resumes.
void platform_wait_refresh() {
    handle_events();
    if (pause_active()) {
        pause_wait(handle_events);
        refresh_clock_start(&s_clock, monotonic_ns());
        s_fps_since_ns = monotonic_ns();
        s_fps_since_frame = s_shown;
    }
    sleep_until_ns(refresh_clock_next(&s_clock, monotonic_ns()));
}

// Presents the buffer in the window at once.
void platform_show(std::uint32_t display_address) {
    const int index = display_address == DISPLAY_ADDR_FB0 ? 0 : 1;
    scores_frame_shown();
    video_show(&s_buffers[index]);
    ++s_shown;
    std::string error;
    if (!session_frame_shown(s_shown, index, &s_buffers[index], &error)) finish(1, error);
    if (s_options.show_fps) update_fps_title(monotonic_ns());
    if (s_options.frames != 0 && s_shown >= s_options.frames) finish(0, "");
}

// The buttons held at this moment (or the replay tape's word for this frame);
// always delivers a word.
void platform_read_buttons(std::uint32_t* word) {
    handle_events();
    std::string error;
    const std::uint64_t frame = s_shown + 1;  // the frame being drawn
    const std::uint32_t held = input_held_word();
    if (!session_poll(frame, held, word, &error)) finish(1, error);
}

void run_desktop(const DesktopOptions& options) {
    s_options = options;
    std::string error;
    if (!session_open(options, &error)) {
        std::fprintf(stderr, "burrowrotor: %s\n", error.c_str());
        std::exit(2);
    }
    scores_open(options);
    const std::string best_scores = score_file_path();
    if (!options.submit.empty() &&
        !submit_start(options.submit, options.name, best_scores.substr(0, best_scores.rfind('/')), &error)) {
        std::fprintf(stderr, "burrowrotor: %s\n", error.c_str());
        std::exit(2);
    }
    if (options.status_line) video_add_status_line();
    if (SDL_Init(0) != 0 || !video_open(options.scale, options.fullscreen, &error)) {
        if (error.empty()) error = SDL_GetError();
        if (error.empty()) error = "SDL gave no reason";
        finish(1, "cannot open a window: " + error);
    }
    input_start();
    g_frame[0] = &s_buffers[0];
    g_frame[1] = &s_buffers[1];
    s_fps_since_ns = monotonic_ns();
    refresh_clock_start(&s_clock, s_fps_since_ns);
    run_game_loop();
}
