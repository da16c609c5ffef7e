// Pause on the desktop: P, the Pause key or a controller's start button
// pause and resume, and losing the window's focus pauses. While paused the
// game waits inside platform_wait_refresh: it has simply not reached its next
// refresh, so no frame is drawn, no button is read, and tapes and traces,
// which count shown frames, see nothing of the pause.
#pragma once
#include "ports/desktop/input.h"

// Takes in what the player did; returns whether that paused or resumed.
bool pause_apply(const InputRequests& requests);

bool pause_active();

// Sleeps until SDL has events and hands them to `handle_events`, for as long
// as the pause lasts.
void pause_wait(void (*handle_events)());
