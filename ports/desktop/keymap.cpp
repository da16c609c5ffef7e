#include "ports/desktop/keymap.h"

#include "platform/buttons.h"

namespace {

struct KeyBinding {
    SDL_Scancode key;
    int bit;
};
// Scancodes, not key symbols: the arrows and the space bar sit in the same
// place on every keyboard layout.
constexpr KeyBinding KEY_BINDINGS[] = {
    {SDL_SCANCODE_UP, BUTTON_UP},         {SDL_SCANCODE_LEFT, BUTTON_LEFT},
    {SDL_SCANCODE_DOWN, BUTTON_DOWN},     {SDL_SCANCODE_RIGHT, BUTTON_RIGHT},
    {SDL_SCANCODE_SPACE, BUTTON_ACTION},  {SDL_SCANCODE_RETURN, BUTTON_ACTION},
    {SDL_SCANCODE_KP_ENTER, BUTTON_ACTION}, {SDL_SCANCODE_LCTRL, BUTTON_ACTION},
};

struct PadBinding {
    SDL_GameControllerButton button;
    int bit;
};
constexpr PadBinding PAD_BINDINGS[] = {
    {SDL_CONTROLLER_BUTTON_DPAD_UP, BUTTON_UP},     {SDL_CONTROLLER_BUTTON_DPAD_LEFT, BUTTON_LEFT},
    {SDL_CONTROLLER_BUTTON_DPAD_DOWN, BUTTON_DOWN}, {SDL_CONTROLLER_BUTTON_DPAD_RIGHT, BUTTON_RIGHT},
    {SDL_CONTROLLER_BUTTON_A, BUTTON_ACTION},  // the south face button on every layout
};

}  // namespace

std::uint32_t keyboard_word(const std::uint8_t* keys, int count) {
    std::uint32_t word = 0;
    for (const KeyBinding& b : KEY_BINDINGS)
        if (b.key < count && keys[b.key] != 0) word |= 1u << b.bit;
    return word;
}

std::uint32_t mouse_word(std::uint32_t mouse_buttons) {
    return (mouse_buttons & SDL_BUTTON_LMASK) != 0 ? 1u << BUTTON_ACTION : 0u;
}

std::uint32_t controller_button_word(SDL_GameControllerButton button) {
    for (const PadBinding& b : PAD_BINDINGS)
        if (b.button == button) return 1u << b.bit;
    return 0;
}
