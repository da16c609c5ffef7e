// The desktop backend: the three platform functions over SDL, our own 60 Hz
// refresh clock and the session's tapes and traces.
#pragma once
#include "ports/desktop/options.h"

// Opens the session's files and the window, then runs the game until the
// player quits; never returns. Exit status 0 when the player quits (Esc, the
// window closed, --frames reached), 1 when there is no display or an output
// cannot be written, 2 when a file named on the command line is unusable.
[[noreturn]] void run_desktop(const DesktopOptions& options);
