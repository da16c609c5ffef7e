#include "game_harness.h"

#include <memory>
#include <stdexcept>

#include "game/view.h"
#include "ports/common/tape.h"
#include "ports/headless/headless.h"

namespace {

struct Session {
    ButtonSource buttons;
    const StopRule* stop;
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
    r.polls = headless_polls();
    s->records.push_back(r);
    if (*s->stop && (*s->stop)(s->records)) throw HeadlessStop{};
}

}  // namespace

std::vector<FrameRecord> run_program(std::uint64_t frames, ButtonSource buttons, const StopRule& stop) {
    Session session{std::move(buttons), &stop, {}};
    session.records.reserve(frames);
    headless_run(frames, observe, session.buttons ? deliver : nullptr, &session);
    return std::move(session.records);
}

ButtonSource tape_buttons(const std::string& tape_text) {
    auto tape = std::make_shared<ButtonTape>();
    std::string error;
    if (!parse_button_tape(tape_text, tape.get(), &error)) throw std::runtime_error("bad test tape: " + error);
    return [tape](std::uint64_t frame, std::uint64_t) { return tape_word_at(tape.get(), frame); };
}

GameState new_game(std::int32_t mode, std::int32_t speed_level) {
    GameState s;
    set_up_game(&s, mode * 10 + speed_level);
    return s;
}
