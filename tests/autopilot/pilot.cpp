#include "autopilot/pilot.h"

#include <algorithm>

#include "game_harness.h"
#include "platform/buttons.h"
#include "platform/display.h"

namespace {
constexpr int Y_RANGE = 240;
constexpr int MOMENTUM_LIMIT = 60;
constexpr int MOMENTUM_RANGE = 2 * MOMENTUM_LIMIT + 1;
constexpr std::uint32_t ACTION_WORD = 1u << BUTTON_ACTION;
constexpr std::int32_t PROBE_LEFT = 49, PROBE_RIGHT = 100;

// The state the next frame is drawn from, by the game's own steps: the
// tunnel moves on, columns not made yet guessed to repeat the last, and the
// block moves, drawn into a scratch surface. A block due to be placed anew
// would draw from rand(); its successor starts off the right edge anyway.
GameState one_frame_on(GameState s) {
    static FrameSurface scratch;
    FrameSurface* const drawing = g_draw_target;
    g_draw_target = &scratch;
    advance_tunnel(&s.tunnel, s.scroll_step);
    if (s.block_x >= -20) update_block(&s);
    g_draw_target = drawing;
    return s;
}
}  // namespace

// The chopper's speed for a climb/sink counter, by the game's own steering.
static std::int32_t chopper_speed(std::int32_t momentum, std::int32_t divisor) {
    GameState s{};
    s.speed_divisor = divisor;
    s.momentum = momentum + 1;
    const std::uint8_t held = g_key_state[BUTTON_ACTION];
    g_key_state[BUTTON_ACTION] = 1;
    steer_chopper(&s);
    g_key_state[BUTTON_ACTION] = held;
    return s.vertical_speed;
}

Pilot::Pilot(int depth, int margin)
    : depth_(depth), margin_(margin), seen_(static_cast<std::size_t>((depth + 1) * Y_RANGE * MOMENTUM_RANGE), 0) {}

// Strict: the whole box around the probe points, widened by the margin, is
// open. Otherwise: exactly what the game's probe points will read.
bool Pilot::clear(int k, std::int32_t y, bool strict) const {
    const GameState& s = ahead_[static_cast<std::size_t>(k)];
    if (!strict) return !model_crash(s, y);
    const std::int32_t upper = y - 1 - margin_, lower = y + 23 + margin_;
    if (upper < 0 || lower >= SCREEN_HEIGHT) return false;
    const TunnelState& t = s.tunnel;
    for (int c = (PROBE_LEFT + t.offset) / 10; c <= (PROBE_RIGHT + t.offset) / 10; ++c)
        if (upper < t.top[c] || lower > t.top[c] + t.gap[c]) return false;
    if (s.block_x >= -20 && s.block_x <= PROBE_RIGHT && s.block_x + 19 >= PROBE_LEFT && s.block_y <= lower &&
        s.block_y + 59 >= upper)
        return false;
    return true;
}

bool Pilot::prefer_climb(std::int32_t y, std::int32_t momentum) const {
    // Head for the goal at a speed that shrinks as it comes near, so the
    // inertia does not carry the chopper past it.
    const std::int32_t wanted = std::clamp((goal_ - (y + 11)) / 5, -5, 5);
    return chopper_speed(momentum, divisor_) > wanted;
}

bool Pilot::search(int k, std::int32_t y, std::int32_t momentum, bool strict) {
    if (!clear(k, y, strict)) return false;
    if (k == depth_) return true;
    if (momentum < -MOMENTUM_LIMIT || momentum > MOMENTUM_LIMIT) return false;
    std::uint32_t& seen =
        seen_[static_cast<std::size_t>((k * Y_RANGE + y) * MOMENTUM_RANGE + momentum + MOMENTUM_LIMIT)];
    if (seen == generation_) return false;  // already explored, without success
    seen = generation_;
    const bool climb_first = prefer_climb(y, momentum);
    for (int i = 0; i < 2; ++i) {
        const bool climb = (i == 0) == climb_first;
        const std::int32_t m = climb ? momentum - 1 : momentum + 1;
        if (search(k + 1, y + chopper_speed(m, divisor_), m, strict)) return true;
    }
    return false;
}

// The middle of the open rows the chopper will meet soon; when the block is
// on its way, the middle of the larger opening beside it.
std::int32_t Pilot::passage_centre(const GameState& view) const {
    const GameState& s = ahead_[static_cast<std::size_t>(std::min(depth_, 12))];
    const std::int32_t reach = PROBE_RIGHT + std::min(20 * view.scroll_step, 200);
    const TunnelState& t = s.tunnel;
    std::int32_t lo = 0, hi = SCREEN_HEIGHT - 1;
    for (int c = (PROBE_LEFT + t.offset) / 10; c <= std::min((reach + t.offset) / 10, TUNNEL_COLUMNS - 1); ++c) {
        lo = std::max(lo, t.top[c]);
        hi = std::min(hi, t.top[c] + t.gap[c]);
    }
    if (s.block_x >= -20 && s.block_x + 19 >= PROBE_LEFT - 20 && s.block_x <= reach) {
        const std::int32_t above = s.block_y - lo, below = hi - (s.block_y + 59);
        if (above >= below) hi = std::min(hi, s.block_y - 1);
        else lo = std::max(lo, s.block_y + 60);
    }
    return (lo + hi) / 2;
}

std::uint32_t Pilot::game_word(const GameState& view) {
    ahead_.clear();
    // [k]: what frame n + k is drawn from, seen from the poll of frame n; the
    // tunnel and the block have already moved for frame n + 1. [0] is not
    // looked at: frame n is already drawn.
    ahead_.push_back(view);
    ahead_.push_back(view);
    for (int k = 2; k <= depth_; ++k) ahead_.push_back(one_frame_on(ahead_.back()));
    divisor_ = view.speed_divisor;
    goal_ = passage_centre(view);
    const bool climb_first = prefer_climb(view.chopper_y, view.momentum);
    for (const bool strict : {true, false}) {
        ++generation_;
        for (int i = 0; i < 2; ++i) {
            const bool climb = (i == 0) == climb_first;
            const std::int32_t m = climb ? view.momentum - 1 : view.momentum + 1;
            if (search(1, view.chopper_y + chopper_speed(m, divisor_), m, strict)) return climb ? ACTION_WORD : 0;
        }
    }
    ++cornered;
    return climb_first ? ACTION_WORD : 0;
}

std::uint32_t Pilot::menu_word(const TitleState& t, std::int32_t mode, std::int32_t speed, std::uint64_t poll) {
    if (poll == 0) return 0;
    if (t.mode != mode) {
        if (t.row != ROW_MODE) return 1u << BUTTON_UP;
        return 1u << (t.mode < mode ? BUTTON_RIGHT : BUTTON_LEFT);
    }
    if (t.speed != speed) {
        if (t.row != ROW_SPEED) return 1u << (t.row > ROW_SPEED ? BUTTON_UP : BUTTON_DOWN);
        return 1u << (t.speed < speed ? BUTTON_RIGHT : BUTTON_LEFT);
    }
    if (t.row != ROW_START) return 1u << BUTTON_DOWN;
    return ACTION_WORD;
}
