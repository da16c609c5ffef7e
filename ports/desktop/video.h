// The desktop's display: a window showing the 320 x 240 frame, scaled by a
// whole number with square pixels, letterboxed when the window is resized.
#pragma once
#include <string>

#include "gfx/surface.h"

// Makes room for the status line beneath the frame (ports/desktop/status_line.h):
// the window opened next is one text row taller. Call before video_open.
void video_add_status_line();

// Opens the window ("Burrowrotor", 320*scale x 240*scale). On failure returns
// false with SDL's reason.
bool video_open(int scale, bool fullscreen, std::string* error);

// Copies the frame to the window and presents it.
void video_show(const FrameSurface* frame);

// Presents the last frame again (after the window was uncovered or resized).
void video_redraw();

void video_toggle_fullscreen();

// Sets the window's title bar text.
void video_set_title(const char* title);

void video_close();

// Whether to wait for the monitor's refresh when presenting, given its rate in
// Hz (0 when unknown). Only a monitor of 120 Hz or more: there the wait is
// shorter than half of our own 60 Hz period, so it cannot hold the game back.
bool video_wants_vsync(int monitor_hz);
