// A player made of code for the title screen: it reads the menu the screen
// publishes at each poll and answers with the button word that walks it to a
// chosen mode and speed and starts the game.
#pragma once
#include <cstdint>

#include "game/title.h"

namespace Pilot {

// The word for a poll on the title screen: walks to `mode` and `speed` and
// confirms. The run's first poll gets no button (a button held then would
// not count).
std::uint32_t menu_word(const TitleState& view, std::int32_t mode, std::int32_t speed, std::uint64_t poll);

}  // namespace Pilot
