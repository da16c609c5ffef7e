// Runs the real program loop in this process on the headless display, from a
// fresh power-on, and keeps what each screen published at every shown frame.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "game/game.h"
#include "game/title.h"
#include "platform/display.h"
#include "ports/headless/headless.h"

// The button word to deliver at a poll: the frame being drawn (1-based) and
// the poll's number in the run (0 for the first).
using ButtonSource = std::function<std::uint32_t(std::uint64_t frame, std::uint64_t poll)>;

// One shown frame as the trace would see it.
struct FrameRecord {
    bool in_game = false;  // otherwise the title screen
    TitleState title{};
    GameState game{};
    std::uint64_t polls = 0;  // polls made in the run so far
};

// Called after each frame is recorded; returning true ends the run there.
using StopRule = std::function<bool(const std::vector<FrameRecord>&)>;

// Powers on and runs the loop until `frames` frames are shown (or stop says so).
std::vector<FrameRecord> run_program(std::uint64_t frames, ButtonSource buttons, const StopRule& stop = {});

// The buttons of a tape text ("12 ACTION\n30 -"), every poll of frame f
// reading the word in force at f.
ButtonSource tape_buttons(const std::string& tape_text);

// The state a game's first frame is drawn from, by the game's own set-up.
GameState new_game(std::int32_t mode, std::int32_t speed_level);

// A cleared surface of its own on the heap that the game's steps draw into
// while it lives, so that a read past its edges is a memory error a sanitizer
// build reports.
struct OwnSurface {
    std::unique_ptr<FrameSurface> surface = std::make_unique<FrameSurface>();
    FrameSurface* saved = g_draw_target;
    OwnSurface() {
        clear_surface(surface.get());
        g_draw_target = surface.get();
    }
    ~OwnSurface() { g_draw_target = saved; }
};
