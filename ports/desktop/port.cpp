// burrowrotor: the game in a desktop window, with keyboard, mouse and game
// controllers, recording and replay. The three functions of the seam
// (platform/platform.h) run here, by our own 60 Hz clock, and so does the loop
// that owns SDL's events, the pause's among them.
#include "ports/desktop/port.h"

#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "game/loop.h"
#include "platform/display.h"
#include "platform/platform.h"
#include "ports/desktop/audio.h"
#include "ports/desktop/input.h"
#include "ports/desktop/score_file.h"
#include "ports/desktop/session.h"
#include "ports/desktop/video.h"
#include "ports/common/files.h"
#include "ports/common/message.h"
#include "ports/common/submit.h"
#include "ports/common/options.h"

namespace {

const char USAGE[] =
    "usage: burrowrotor [--scale N] [--fullscreen] [--show-fps] [--no-status] [--record TAPE]\n"
    "                   [--replay TAPE] [--trace FILE] [--png DIR] [--from F] [--every K]\n"
    "                   [--frames N] [--mute] [--volume V] [--submit URL [--name NAME]]\n"
    "                   [--scores] [--help] [--version]\n"
    "       burrowrotor --submit-tape FILE --submit URL [--name NAME]\n"
    "\n"
    "Plays Burrowrotor in a window. Arrows move in the menu; Space, Enter, Left Ctrl or the\n"
    "left mouse button is the action button (hold it to climb). P, Pause or a controller's\n"
    "start button pauses and resumes (losing the window's focus pauses too). M mutes and\n"
    "unmutes the sound. F11 toggles fullscreen, Esc quits (on a game controller: the d-pad,\n"
    "the south face button, select + start). The best score of each mode and speed is kept\n"
    "in $XDG_DATA_HOME/burrowrotor/best-scores.txt (~/.local/share/burrowrotor/), the mute\n"
    "and the volume beside it in settings.txt.\n"
    "  --scale N       window size as a multiple of 320x240, 1 to 16 (default 3)\n"
    "  --fullscreen    start in fullscreen (the largest whole scale that fits, centred)\n"
    "  --show-fps      show the frame rate in the window's title bar\n"
    "  --no-status     no status line (best score, PAUSED) beneath the game\n"
    "  --record TAPE   write the buttons the game read as a button tape\n"
    "  --replay TAPE   play a button tape instead of the keyboard (Esc still quits)\n"
    "  --trace FILE    one JSON line per shown frame, as burrowrotor-headless writes it\n"
    "  --png DIR       write shown frames as DIR/frame-000123.png\n"
    "  --from F        first frame to write (default 1)\n"
    "  --every K       write every K-th frame from F on (default 1)\n"
    "  --frames N      quit after N frames have been shown\n"
    "  --mute          start with the sound muted, for this session\n"
    "  --volume V      sound volume 0 to 100 for this session (default: as kept, else 100)\n"
    "  --submit URL    send each new best with this session's button tape to the hall of fame\n"
    "                  at URL (http or https), which replays it; prints its verdict and rank\n"
    "  --name NAME     the name on the hall's boards: 3 to 16 letters, digits, spaces, - _ .\n"
    "                  (remembered; at first the login name)\n"
    "  --submit-tape FILE  send a tape the hall could not take (kept in the data folder's\n"
    "                  unsent/) again, and exit\n"
    "  --scores        print the best scores and exit\n"
    "  --version       print the version\n";

FrameSurface s_buffers[2];
DesktopOptions s_options;
bool s_paused = false;
RefreshClock s_clock;
std::uint64_t s_shown = 0;
std::int64_t s_fps_since_ns = 0;
std::uint64_t s_fps_since_frame = 0;

[[noreturn]] void finish(int status, const std::string& message) {
    std::string error;
    const bool closed = session_close(status != 0, &error);
    submit_stop();
    input_stop();
    audio_close();
    video_close();
    SDL_Quit();
    // One line: what failed, and where a cut-short recording was kept.
    if (!message.empty() && !closed) say("burrowrotor", message + "; " + error);
    if (!message.empty() && closed) say("burrowrotor", message);
    if (!closed && status == 0) {
        say("burrowrotor", error);
        status = 1;
    }
    std::exit(status);
}

// The desktop quits when the player says so; the game itself never ends.
void handle_events() {
    const InputRequests r = input_pump();
    if (r.quit) finish(0, "");
    if (r.toggle_fullscreen) video_toggle_fullscreen();
    if (r.toggle_mute) scores_note(audio_toggle_mute() ? "MUTED" : "SOUND ON");
    const bool was_paused = s_paused;
    if (r.toggle_pause) s_paused = !s_paused;
    // Losing the focus only ever pauses: coming back asks for a press.
    if (r.focus_lost) s_paused = true;
    if (s_paused != was_paused) {
        video_set_paused(s_paused);
        audio_set_paused(s_paused);
    }
    // While paused no frame comes to word the line: it is worded here.
    if (scores_update_status(s_paused) || s_paused != was_paused || r.redraw) video_redraw();
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
    if (s_paused) {
        // P, Pause or a controller's start button pause and resume, and losing
        // the window's focus pauses. The game has simply not reached its next
        // refresh: no frame is drawn, no button is read, and tapes and traces,
        // which count shown frames, see nothing of the pause.
        while (s_paused) {
            SDL_WaitEventTimeout(nullptr, 250);
            handle_events();
        }
        refresh_clock_start(&s_clock, monotonic_ns());
        s_fps_since_ns = monotonic_ns();
        s_fps_since_frame = s_shown;
    }
    sleep_until_ns(refresh_clock_next(&s_clock, monotonic_ns()));
}

// Presents the buffer in the window at once.
void platform_show(std::uint32_t display_address) {
    const int index = display_address == DISPLAY_ADDR_FB0 ? 0 : 1;
    const bool new_best = scores_frame_shown();
    video_show(&s_buffers[index]);
    audio_frame_shown(new_best);
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

namespace {

// Opens the session's files and the window, then runs the game until the
// player quits; never returns. Exit status 0 when the player quits (Esc, the
// window closed, --frames reached), 1 when there is no display or an output
// cannot be written, 2 when a file named on the command line is unusable.
[[noreturn]] void run_port(const DesktopOptions& options) {
    s_options = options;
    std::string error;
    // The hall's address and name are checked before the session's files are
    // opened, so a mistake in them leaves no TAPE.part behind.
    const std::string best_scores = score_file_path();
    const std::string data_folder = best_scores.empty() ? "" : folder_of(best_scores);
    if (!options.submit.empty() && !submit_start(options.submit, options.name, data_folder, &error)) {
        say("burrowrotor", error);
        std::exit(2);
    }
    if (!session_open(options, &error)) {
        submit_stop();
        say("burrowrotor", error);
        std::exit(2);
    }
    scores_open(options);
    if (!options.hide_status) video_add_status_line();
    if (SDL_Init(0) != 0 || !video_open(static_cast<int>(options.scale), options.fullscreen, &error)) {
        if (error.empty()) error = SDL_GetError();
        if (error.empty()) error = "SDL gave no reason";
        finish(1, "cannot open a window: " + error);
    }
    input_start();
    SoundSettings sound = sound_settings_read(sound_settings_path());
    if (options.mute) sound.mute = true;
    if (options.volume <= MAX_VOLUME) sound.volume = static_cast<int>(options.volume);
    audio_open(sound);
    g_frame[0] = &s_buffers[0];
    g_frame[1] = &s_buffers[1];
    s_fps_since_ns = monotonic_ns();
    refresh_clock_start(&s_clock, s_fps_since_ns);
    run_game_loop();
}

}  // namespace

int main(int argc, char** argv) {
    DesktopOptions o;
    std::string error;
    if (!parse_options(argc, argv,
                       {final_option("--help", &o.help), final_option("-h", &o.help),
                        final_option("--version", &o.version), switch_option("--fullscreen", &o.fullscreen),
                        switch_option("--show-fps", &o.show_fps), switch_option("--no-status", &o.hide_status),
                        switch_option("--scores", &o.scores), switch_option("--mute", &o.mute),
                        level_option("--volume", &o.volume, MAX_VOLUME), count_option("--scale", &o.scale, MAX_SCALE),
                        path_option("--record", &o.record), path_option("--replay", &o.replay),
                        path_option("--trace", &o.trace), path_option("--png", &o.dump.png_dir),
                        count_option("--from", &o.dump.from), count_option("--every", &o.dump.every),
                        count_option("--frames", &o.frames), text_option("--submit", &o.submit, "an address"),
                        text_option("--name", &o.name, "a name"), path_option("--submit-tape", &o.submit_tape)},
                       &error)) {
        say("burrowrotor", error);
        return 2;
    }
    if (o.help) {
        std::fputs(USAGE, stdout);
        return 0;
    }
    if (o.version) {
        std::puts("burrowrotor " BURROW_VERSION);
        return 0;
    }
    if (o.submit.empty() && (!o.submit_tape.empty() || !o.name.empty())) {
        say("burrowrotor", std::string(o.name.empty() ? "--submit-tape" : "--name") + " goes with --submit URL");
        return 2;
    }
    if (o.scores) return scores_print();
    if (!o.submit_tape.empty()) return submit_kept_tape(o.submit_tape, o.submit, o.name);
    run_port(o);
}
