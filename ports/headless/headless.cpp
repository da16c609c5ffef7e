#include "ports/headless/headless.h"

#include <cstdlib>
#include <cstring>

#include "game/last_game.h"
#include "game/loop.h"

#include "platform/buttons.h"
#include "platform/display.h"
#include "platform/platform.h"

namespace {
FrameSurface s_buffers[2];
HeadlessObserver s_observer = nullptr;
void* s_observer_context = nullptr;
HeadlessButtons s_buttons = nullptr;
void* s_buttons_context = nullptr;
std::uint64_t s_limit = 0;
std::uint64_t s_shown = 0;
std::uint64_t s_polls = 0;
}  // namespace

void headless_start() {
    std::memset(s_buffers, 0, sizeof s_buffers);
    g_frame[0] = &s_buffers[0];
    g_frame[1] = &s_buffers[1];
    reset_display_state();
    reset_button_state();
    s_observer = nullptr;
    s_buttons = nullptr;
    s_limit = s_shown = s_polls = 0;
}

void headless_set_observer(HeadlessObserver observer, void* context) {
    s_observer = observer;
    s_observer_context = context;
}

void headless_set_buttons(HeadlessButtons buttons, void* context) {
    s_buttons = buttons;
    s_buttons_context = context;
}

void headless_stop_after(std::uint64_t frames) { s_limit = frames; }

void headless_run(std::uint64_t frames, HeadlessObserver observe, HeadlessButtons buttons, void* context) {
    std::srand(1);  // what an unseeded rand() gives
    headless_start();
    g_score = g_last_mode = g_last_speed = 0;
    headless_set_observer(observe, context);
    headless_set_buttons(buttons, context);
    headless_stop_after(frames);
    try {
        run_game_loop();
    } catch (const HeadlessStop&) {
    }
    headless_set_observer(nullptr, nullptr);
    headless_set_buttons(nullptr, nullptr);
}

std::uint64_t headless_polls() { return s_polls; }

// The refresh is instant: a headless display is always at the start of a new
// refresh when asked.
void platform_wait_refresh() {}

void platform_show(std::uint32_t display_address) {
    const int index = display_address == DISPLAY_ADDR_FB0 ? 0 : 1;
    ++s_shown;
    if (s_observer != nullptr) s_observer(s_observer_context, s_shown, index, &s_buffers[index]);
    if (s_limit != 0 && s_shown >= s_limit) throw HeadlessStop{};
}

void platform_read_buttons(std::uint32_t* word) {
    const std::uint64_t poll = s_polls++;
    if (s_buttons == nullptr) return;
    std::uint32_t value = *word;
    if (s_buttons(s_buttons_context, s_shown + 1, poll, &value)) *word = value;
}
