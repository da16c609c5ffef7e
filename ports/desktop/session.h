// What a desktop session reads and writes besides the window: the tape it
// replays, the tape it records, the trace and the frame files. Together they
// let a bug seen on the desktop be replayed frame for frame by
// burrowrotor-headless.
#pragma once
#include <cstdint>
#include <string>

#include "gfx/surface.h"
#include "ports/desktop/port.h"

// Loads the replay tape, opens the recording and the trace, checks the frame
// folders. On failure returns false with a one-line reason.
bool session_open(const DesktopOptions& options, std::string* error);

// The word the game reads at a poll made while `frame` (1-based) is drawn:
// the replay tape's word for that frame, or else `held`. The recording gets
// that word for that frame, so replaying the recording gives every poll of a
// frame the word this poll read.
bool session_poll(std::uint64_t frame, std::uint32_t held, std::uint32_t* word, std::string* error);

// Traces and writes out a frame that was just shown.
bool session_frame_shown(std::uint64_t frame, int buffer, const FrameSurface* shown, std::string* error);

// Completes the recording and the trace under their own names. After a failed
// session (`failed`) the unfinished trace is removed and the recording stays
// under its temporary name, never replacing an older tape: returns false with
// a note saying where it is.
bool session_close(bool failed, std::string* error);
