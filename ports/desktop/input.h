// The desktop's buttons: SDL's event queue, the keyboard, the mouse and any
// game controllers, read as the handheld's button word. Which key stands for
// which button is the table at the top of input.cpp.
#pragma once
#include <cstdint>

// What the events since the last pump ask of the port.
struct InputRequests {
    bool quit = false;               // Esc, the window closed, Ctrl-C, a controller's select + start
    bool toggle_fullscreen = false;  // F11
    bool redraw = false;             // the window was uncovered or resized
    bool toggle_pause = false;       // P, Pause or a controller's start button
    bool focus_lost = false;         // the window lost the keyboard or was minimised
    bool toggle_mute = false;        // M
};

// Opens the game controllers already plugged in; more are picked up as they come.
void input_start();

// Handles every event waiting in SDL's queue.
InputRequests input_pump();

// The buttons held right now on the keyboard, the mouse and every controller.
std::uint32_t input_held_word();

// Closes the controllers.
void input_stop();
