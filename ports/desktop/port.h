// What the command line asks of the desktop port (ports/desktop/port.cpp):
// the window, the session's files, and when to stop.
#pragma once
#include <cstdint>
#include <string>

#include "ports/common/frame_files.h"

constexpr std::uint64_t MAX_SCALE = 16;
constexpr std::uint64_t MAX_VOLUME = 100;
constexpr std::uint64_t KEPT_VOLUME = MAX_VOLUME + 1;

struct DesktopOptions {
    std::uint64_t scale = 3;   // window size in multiples of 320 x 240
    bool fullscreen = false;
    bool show_fps = false;
    bool hide_status = false;  // --no-status: no line beneath the frame
    bool scores = false;       // --scores: print the best scores and exit
    bool mute = false;         // --mute: start silent (M toggles)
    std::uint64_t volume = KEPT_VOLUME;  // --volume 0-100; KEPT_VOLUME: as kept in the settings
    std::string record;        // --record: button tape written as the player plays
    std::string replay;        // --replay: button tape played instead of the keyboard
    std::string trace;
    FrameDump dump;            // --png DIR, --from F, --every K
    std::uint64_t frames = 0;  // --frames: quit after this many frames shown (0 = play on)
    std::string submit;        // --submit: the hall of fame each new best is sent to
    std::string name;          // --name: the name on its boards
    std::string submit_tape;   // --submit-tape: send this kept tape and exit
    bool help = false;
    bool version = false;
};
