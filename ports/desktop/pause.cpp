#include "ports/desktop/pause.h"

#include <SDL.h>

namespace {
bool s_paused = false;
}  // namespace

bool pause_apply(const InputRequests& r) {
    const bool was = s_paused;
    if (r.toggle_pause) s_paused = !s_paused;
    // Losing the focus only ever pauses: coming back asks for a press.
    if (r.focus_lost) s_paused = true;
    return s_paused != was;
}

bool pause_active() { return s_paused; }

void pause_wait(void (*handle_events)()) {
    while (s_paused) {
        SDL_WaitEventTimeout(nullptr, 250);
        handle_events();
    }
}
