// What tools outside the game may see of it: the screen that is running and a
// read-only view of its state. The screens publish a pointer to their own
// state when they start and withdraw it when they end; nothing else changes.
#pragma once
#include "game/game.h"
#include "game/title.h"

extern const TitleState* g_title_view;  // the running title screen, or null
extern const GameState* g_game_view;    // the running game, or null

// Publishes a screen's state for as long as the screen runs, however it is
// left.
template <typename State>
struct PublishedView {
    const State*& slot;
    PublishedView(const State*& where, const State* state) : slot(where) { slot = state; }
    ~PublishedView() { slot = nullptr; }
    PublishedView(const PublishedView&) = delete;
    PublishedView& operator=(const PublishedView&) = delete;
};
