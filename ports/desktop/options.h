// The command line of burrowrotor, the desktop game.
#pragma once
#include <cstdint>
#include <string>

#include "ports/common/frame_files.h"

constexpr int MAX_SCALE = 16;

struct DesktopOptions {
    int scale = 3;            // window size in multiples of 320 x 240
    bool fullscreen = false;
    bool show_fps = false;
    bool status_line = true;  // --no-status hides the line beneath the frame
    bool scores = false;      // --scores: print the best scores and exit
    std::string record;       // --record: button tape written as the player plays
    std::string replay;       // --replay: button tape played instead of the keyboard
    std::string trace;
    FrameDump dump;           // --png DIR, --from F, --every K
    std::uint64_t frames = 0; // --frames: quit after this many frames shown (0 = play on)
    std::string submit;       // --submit: the hall of fame each new best is sent to
    std::string name;         // --name: the name on its boards
    std::string submit_tape;  // --submit-tape: send this kept tape and exit
    bool help = false;
    bool version = false;
};

extern const char DESKTOP_USAGE[];

// Fills `options` from argv; on a mistake returns false with a one-line reason.
bool parse_desktop_args(int argc, const char* const* argv, DesktopOptions* options, std::string* error);
