// Replays a recorded button tape through the unchanged game loop on the
// in-memory display, and takes the state one frame is drawn from, so that
// benchmarks can draw that frame again and again.
#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "bench/rand_tap.h"
#include "game/game.h"
#include "game/title.h"
#include "platform/buttons.h"
#include "ports/common/tape.h"

// Everything a frame's pixels depend on, as it stood when the frame began.
struct FrameSnapshot {
    std::uint64_t frame = 0;  // 1-based number of the frame in the run
    bool title = false;       // a title screen frame, else a game frame
    TitleState title_state{};
    GameState game_state{};
    std::int32_t score = 0, last_mode = 0, last_speed = 0;
    std::uint8_t key_state[KEY_COUNT] = {};
    int draws[rand_tap::MAX_DRAWS] = {};  // the frame's rand() results, in order
    int draw_count = 0;
    FrameSurface shown{};  // the frame as the game showed it
};

// Runs the program from power-on with the tape's buttons until `frames`
// frames are shown; `each` sees every shown frame (number, pixels) and may
// end the run early by returning false.
void replay(ButtonTape* tape, std::uint64_t frames,
            const std::function<bool(std::uint64_t, const FrameSurface*)>& each);

// Fills `out` for frame `frame` (2 or later) of the tape's run. Fails when
// the frame is the first of its screen, whose state the previous frame does
// not show.
bool capture_frame(const char* tape_path, std::uint64_t frame, FrameSnapshot* out, std::string* error);

// The shown frames' hashes from a golden file next to the tape (one per
// line, '#' lines skipped); empty when there is none.
std::string golden_hash_line(const char* tape_path, std::uint64_t frame);
