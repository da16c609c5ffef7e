#include "bench/replay.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "game/view.h"
#include "platform/display.h"
#include "ports/headless/headless.h"

namespace {

struct Replay {
    ButtonTape* tape;
    const std::function<bool(std::uint64_t, const FrameSurface*)>* each;
};

bool tape_buttons(void* context, std::uint64_t frame, std::uint64_t, std::uint32_t* word) {
    *word = tape_word_at(static_cast<Replay*>(context)->tape, frame);
    return true;
}

void observe(void* context, std::uint64_t frame, int, const FrameSurface* shown) {
    if (!(*static_cast<Replay*>(context)->each)(frame, shown)) throw HeadlessStop{};
}

}  // namespace

void replay(ButtonTape* tape, std::uint64_t frames,
            const std::function<bool(std::uint64_t, const FrameSurface*)>& each) {
    Replay run{tape, &each};
    tape->cursor = 0;
    rand_tap::play(nullptr, 0);
    headless_run(frames, observe, tape_buttons, &run);
}

bool capture_frame(const char* tape_path, std::uint64_t frame, FrameSnapshot* out, std::string* error) {
    ButtonTape tape;
    if (!load_button_tape(tape_path, &tape, error)) return false;
    if (frame < 2) {
        *error = "the first frame has no frame before it";
        return false;
    }
    bool before_title = false, before_game = false;
    std::uint64_t last = 0;
    replay(&tape, frame, [&](std::uint64_t n, const FrameSurface* shown) {
        last = n;
        if (n == frame - 1) {
            before_title = g_title_view != nullptr;
            before_game = g_game_view != nullptr;
            if (before_title) out->title_state = *g_title_view;
            if (before_game) out->game_state = *g_game_view;
            out->score = g_score;
            out->last_mode = g_last_mode;
            out->last_speed = g_last_speed;
            std::memcpy(out->key_state, g_key_state, sizeof out->key_state);
            rand_tap::start_recording();
        } else if (n == frame) {
            out->draw_count = rand_tap::stop_recording();
            std::memcpy(out->draws, rand_tap::recorded(), sizeof(int) * static_cast<std::size_t>(out->draw_count));
            out->shown = *shown;
            out->title = g_title_view != nullptr;
            return false;
        }
        return true;
    });
    if (last != frame) {
        *error = "the run ended before frame " + std::to_string(frame);
        return false;
    }
    if (out->title != before_title || (!out->title && !before_game)) {
        *error = "frame " + std::to_string(frame) + " is the first of its screen";
        return false;
    }
    out->frame = frame;
    if (out->title) finish_title_frame(&out->title_state);
    return true;
}

std::string golden_hash_line(const char* tape_path, std::uint64_t frame) {
    std::string path = tape_path;
    const std::size_t dot = path.rfind(".tape");
    if (dot == std::string::npos) return "";
    path.replace(dot, 5, ".hashes");
    std::ifstream in(path);
    std::string line;
    std::uint64_t n = 0;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        if (++n == frame) return line;
    }
    return "";
}
