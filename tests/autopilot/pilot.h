// A player made of code: it reads the state the game publishes at each poll
// and answers with a button word. In the game it looks ahead a few dozen
// frames, simulating the chopper's inertia against the tunnel and the block
// as they will scroll past, and picks the button that keeps a way open; on
// the title screen it walks the menu to a chosen mode and speed and starts.
#pragma once
#include <cstdint>
#include <vector>

#include "game/game.h"
#include "game/title.h"

class Pilot {
public:
    // Frames looked ahead, and rows kept free above and below the chopper
    // whenever that is possible.
    explicit Pilot(int depth = 26, int margin = 2);

    // The word for a poll during a game.
    std::uint32_t game_word(const GameState& view);

    // The word for a poll on the title screen: walks to `mode` and `speed`
    // and confirms. The run's first poll gets no button (a button held then
    // would not count).
    static std::uint32_t menu_word(const TitleState& view, std::int32_t mode, std::int32_t speed, std::uint64_t poll);

    // How often the last answers found no safe way.
    std::uint64_t cornered = 0;

private:
    bool clear(int k, std::int32_t y, bool strict) const;
    bool search(int k, std::int32_t y, std::int32_t momentum, bool strict);
    bool prefer_climb(std::int32_t y, std::int32_t momentum) const;
    std::int32_t passage_centre(const GameState& view) const;

    int depth_;
    int margin_;
    std::vector<GameState> ahead_;  // [k]: what frame n + k will be drawn from
    std::vector<std::uint32_t> seen_;
    std::uint32_t generation_ = 0;
    std::int32_t goal_ = 0;
    std::int32_t divisor_ = 0;  // the game's, taken from its view
};
