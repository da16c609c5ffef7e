#include "game_harness.h"

#include <cstdlib>
#include <memory>
#include <stdexcept>

#include "autopilot/pilot.h"
#include "game/loop.h"
#include "game/view.h"
#include "ports/common/tape.h"
#include "ports/headless/headless.h"

namespace {

struct Session {
    ButtonSource buttons;
    const RunOptions* options;
    std::vector<FrameRecord> records;
};

bool deliver(void* context, std::uint64_t frame, std::uint64_t poll, std::uint32_t* word) {
    *word = static_cast<Session*>(context)->buttons(frame, poll);
    return true;
}

void observe(void* context, std::uint64_t, int, const FrameSurface*) {
    Session* s = static_cast<Session*>(context);
    FrameRecord r;
    r.in_game = g_game_view != nullptr;
    if (g_game_view != nullptr) r.game = *g_game_view;
    if (g_title_view != nullptr) r.title = *g_title_view;
    r.score = g_score;
    r.last_mode = g_last_mode;
    r.last_speed = g_last_speed;
    r.polls = headless_polls();
    s->records.push_back(r);
    if (s->options->stop && s->options->stop(s->records)) throw HeadlessStop{};
}

}  // namespace

void run_loop(std::uint64_t frames, HeadlessObserver observe, HeadlessButtons buttons, void* context) {
    std::srand(1);  // what an unseeded rand() gives
    headless_start();
    g_score = 0;
    g_last_mode = 0;
    g_last_speed = 0;
    headless_set_observer(observe, context);
    headless_set_buttons(buttons, context);
    headless_stop_after(frames);
    try {
        run_game_loop();
    } catch (const HeadlessStop&) {
    }
    headless_set_observer(nullptr, nullptr);
    headless_set_buttons(nullptr, nullptr);
}

std::vector<FrameRecord> run_program(std::uint64_t frames, ButtonSource buttons, const RunOptions& options) {
    Session session{std::move(buttons), &options, {}};
    session.records.reserve(frames);
    run_loop(frames, observe, session.buttons ? deliver : nullptr, &session);
    return std::move(session.records);
}

std::vector<FrameRecord> play_one_game(std::int32_t mode, std::int32_t speed,
                                       const std::function<std::uint32_t(const GameState&)>& buttons) {
    RunOptions options;
    bool played = false;
    options.stop = [&played](const std::vector<FrameRecord>& run) {
        played = played || run.back().in_game;
        return played && !run.back().in_game;
    };
    const auto source = [&](std::uint64_t, std::uint64_t poll) -> std::uint32_t {
        if (g_game_view == nullptr) return Pilot::menu_word(*g_title_view, mode, speed, poll);
        return buttons(*g_game_view);
    };
    return run_program(40000, source, options);
}

ButtonSource tape_buttons(const std::string& tape_text) {
    auto tape = std::make_shared<ButtonTape>();
    std::string error;
    if (!parse_button_tape(tape_text, tape.get(), &error)) throw std::runtime_error("bad test tape: " + error);
    return [tape](std::uint64_t frame, std::uint64_t) { return tape_word_at(tape.get(), frame); };
}

long find_frame(const std::vector<FrameRecord>& run, const std::function<bool(const FrameRecord&)>& pred) {
    for (std::size_t i = 0; i < run.size(); ++i)
        if (pred(run[i])) return static_cast<long>(i);
    return -1;
}

static bool model_wall(const GameState& drawn, std::int32_t x, std::int32_t y) {
    if (!on_surface(x, y)) return true;
    const TunnelState& t = drawn.tunnel;
    const int column = (x + t.offset) / TUNNEL_COLUMN_WIDTH;
    if (y < t.top[column] || y > t.top[column] + t.gap[column]) return true;
    if (drawn.block_x < -20) return false;
    return x >= drawn.block_x && x <= drawn.block_x + 19 && y >= drawn.block_y && y <= drawn.block_y + 59;
}

bool model_crash(const GameState& drawn, std::int32_t chopper_y) {
    for (const ProbePoint& p : PROBE_POINTS)
        if (model_wall(drawn, drawn.chopper_x + p.dx, chopper_y + p.dy)) return true;
    return false;
}

GameState new_game(std::int32_t mode, std::int32_t speed_level) {
    GameState s;
    set_up_game(&s, mode * 10 + speed_level);
    return s;
}
