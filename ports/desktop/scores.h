// The best scores on the desktop: the table kept in its file, the games
// followed as their frames are shown, and the status line beneath the frame.
#pragma once
#include "ports/desktop/options.h"

// Loads the table (telling the player on stderr, in one line, if anything is
// wrong with its file) and readies the status line. A replayed tape's games
// are not the player's: with --replay the table is shown but never changed.
void scores_open(const DesktopOptions& options);

// Call as each frame is shown: a game that ended is entered, and a new best
// is kept in the file at once. Returns true when that made a new best.
bool scores_frame_shown();

// Words the status line for this moment (a note wins over the pause, the
// pause over the rest); returns whether it changed.
bool scores_update_status(bool paused);

// Shows `text` ("MUTED") in the status line for two seconds.
void scores_note(const char* text);

// --scores: prints the table to stdout; returns the exit status (1 when the
// file cannot be read as a table, with the reason on stderr).
int scores_print();
