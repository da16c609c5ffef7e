#include "autopilot/pilot.h"

#include "platform/buttons.h"

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
    return 1u << BUTTON_ACTION;
}
