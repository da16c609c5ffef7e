// The machine below the game. Each port (ports/handheld, desktop, web,
// headless) implements these three functions; display.cpp and buttons.cpp
// build the flip and the key table on top of them. Start-up is the port's own main():
// it points g_frame[0] and g_frame[1] at two readable, writable display
// buffers, readies its button source and calls run_game_loop().
#pragma once
#include <cstdint>

// Returns at the start of the next display refresh, never within the refresh
// period in which it was called.
void platform_wait_refresh();

// From the current refresh on, the display shows the buffer with this
// display address (DISPLAY_ADDR_FB0 or DISPLAY_ADDR_FB1).
void platform_show(std::uint32_t display_address);

// One read of the 32-bit button word into *word, bit i set while button i is
// held; when the source delivers nothing, *word keeps its value.
void platform_read_buttons(std::uint32_t* word);
