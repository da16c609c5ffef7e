#include "ports/desktop/input.h"

#include <SDL.h>

#include "platform/buttons.h"

namespace {

// Which key and which controller button stand for each of the handheld's
// buttons. Scancodes, not key symbols: the arrows and the space bar sit in the
// same place on every keyboard layout. The left mouse button is the action
// button too.
struct Binding {
    SDL_Scancode key;
    SDL_GameControllerButton pad;
    int bit;
};
constexpr SDL_GameControllerButton NO_PAD = SDL_CONTROLLER_BUTTON_INVALID;
constexpr Binding BINDINGS[] = {
    {SDL_SCANCODE_UP, SDL_CONTROLLER_BUTTON_DPAD_UP, BUTTON_UP},
    {SDL_SCANCODE_LEFT, SDL_CONTROLLER_BUTTON_DPAD_LEFT, BUTTON_LEFT},
    {SDL_SCANCODE_DOWN, SDL_CONTROLLER_BUTTON_DPAD_DOWN, BUTTON_DOWN},
    {SDL_SCANCODE_RIGHT, SDL_CONTROLLER_BUTTON_DPAD_RIGHT, BUTTON_RIGHT},
    {SDL_SCANCODE_SPACE, SDL_CONTROLLER_BUTTON_A, BUTTON_ACTION},  // A: the south face button on every layout
    {SDL_SCANCODE_RETURN, NO_PAD, BUTTON_ACTION},
    {SDL_SCANCODE_KP_ENTER, NO_PAD, BUTTON_ACTION},
    {SDL_SCANCODE_LCTRL, NO_PAD, BUTTON_ACTION},
};

constexpr int MAX_CONTROLLERS = 8;
SDL_GameController* s_controllers[MAX_CONTROLLERS] = {};

void open_controller(int device_index) {
    if (!SDL_IsGameController(device_index)) return;
    if (SDL_GameControllerFromInstanceID(SDL_JoystickGetDeviceInstanceID(device_index)) != nullptr) return;
    for (SDL_GameController*& slot : s_controllers) {
        if (slot != nullptr) continue;
        slot = SDL_GameControllerOpen(device_index);
        return;
    }
}

void close_controller(SDL_JoystickID id) {
    for (SDL_GameController*& slot : s_controllers) {
        if (slot == nullptr) continue;
        if (SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(slot)) != id) continue;
        SDL_GameControllerClose(slot);
        slot = nullptr;
    }
}

// Select and start held together: the way out on a handheld whose only
// buttons are its built-in game controller.
bool quit_chord_held(SDL_JoystickID id) {
    SDL_GameController* pad = SDL_GameControllerFromInstanceID(id);
    return pad != nullptr && SDL_GameControllerGetButton(pad, SDL_CONTROLLER_BUTTON_BACK) != 0 &&
           SDL_GameControllerGetButton(pad, SDL_CONTROLLER_BUTTON_START) != 0;
}

}  // namespace

void input_start() {
    // Without a controller subsystem the keyboard and mouse still work.
    if (SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) != 0) return;
    // Controllers plugged in before the start arrive as "device added" events.
}

InputRequests input_pump() {
    InputRequests r;
    SDL_Event e;
    while (SDL_PollEvent(&e) != 0) {
        switch (e.type) {
        case SDL_QUIT:
            r.quit = true;
            break;
        case SDL_KEYDOWN:
            if (e.key.keysym.scancode == SDL_SCANCODE_ESCAPE) r.quit = true;
            if (e.key.keysym.scancode == SDL_SCANCODE_F11 && e.key.repeat == 0) r.toggle_fullscreen = !r.toggle_fullscreen;
            if ((e.key.keysym.scancode == SDL_SCANCODE_P || e.key.keysym.scancode == SDL_SCANCODE_PAUSE) &&
                e.key.repeat == 0)
                r.toggle_pause = !r.toggle_pause;
            if (e.key.keysym.scancode == SDL_SCANCODE_M && e.key.repeat == 0) r.toggle_mute = !r.toggle_mute;
            break;
        case SDL_WINDOWEVENT:
            if (e.window.event == SDL_WINDOWEVENT_EXPOSED || e.window.event == SDL_WINDOWEVENT_SIZE_CHANGED)
                r.redraw = true;
            if (e.window.event == SDL_WINDOWEVENT_FOCUS_LOST || e.window.event == SDL_WINDOWEVENT_MINIMIZED)
                r.focus_lost = true;
            break;
        case SDL_CONTROLLERBUTTONDOWN:
            // Start alone pauses and resumes; with select held it quits.
            if (quit_chord_held(e.cbutton.which)) r.quit = true;
            else if (e.cbutton.button == SDL_CONTROLLER_BUTTON_START) r.toggle_pause = !r.toggle_pause;
            break;
        case SDL_CONTROLLERDEVICEADDED:
            open_controller(e.cdevice.which);
            break;
        case SDL_CONTROLLERDEVICEREMOVED:
            close_controller(e.cdevice.which);
            break;
        default:
            break;
        }
    }
    return r;
}

// Only levels count: a key held is a button held, so the keyboard's
// auto-repeat has nothing to add.
std::uint32_t input_held_word() {
    int count = 0;
    const Uint8* keys = SDL_GetKeyboardState(&count);
    std::uint32_t word = (SDL_GetMouseState(nullptr, nullptr) & SDL_BUTTON_LMASK) != 0 ? 1u << BUTTON_ACTION : 0u;
    for (const Binding& b : BINDINGS) {
        bool held = b.key < count && keys[b.key] != 0;
        for (SDL_GameController* pad : s_controllers)
            held = held || (pad != nullptr && b.pad != NO_PAD && SDL_GameControllerGetButton(pad, b.pad) != 0);
        if (held) word |= 1u << b.bit;
    }
    return word;
}

void input_stop() {
    for (SDL_GameController*& slot : s_controllers) {
        if (slot != nullptr) SDL_GameControllerClose(slot);
        slot = nullptr;
    }
}
