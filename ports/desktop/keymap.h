// Which desktop keys, mouse buttons and game-controller buttons stand for
// which of the handheld's buttons. Only levels count: a key held is a button
// held, so the keyboard's auto-repeat has nothing to add.
#pragma once
#include <SDL.h>

#include <cstdint>

// The button word for a keyboard state as SDL_GetKeyboardState gives it
// (`count` entries, indexed by scancode).
std::uint32_t keyboard_word(const std::uint8_t* keys, int count);

// The button word for SDL_GetMouseState's button mask.
std::uint32_t mouse_word(std::uint32_t mouse_buttons);

// The bit a controller button sets (d-pad and the south face button), 0 for the rest.
std::uint32_t controller_button_word(SDL_GameControllerButton button);
