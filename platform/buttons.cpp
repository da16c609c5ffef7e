#include "platform/buttons.h"

#include <cstring>

#include "platform/platform.h"

std::uint32_t g_input_word = 0;
// Not 0: the first poll always counts as a change, and a button already held
// then reads as released until it is let go and pressed again.
std::uint32_t g_prev_input_word = 0xFFFFFFFF;
std::uint8_t g_key_state[KEY_COUNT] = {};

void reset_button_state() {
    g_input_word = 0;
    g_prev_input_word = 0xFFFFFFFF;
    std::memset(g_key_state, 0, sizeof g_key_state);
}

void update_key_states(std::uint32_t new_word, std::uint32_t previous_word) {
    const std::uint32_t changed = new_word ^ previous_word;
    for (int i = 0; i < KEY_COUNT; ++i)
        if ((changed >> i) & 1u) g_key_state[i] = static_cast<std::uint8_t>((new_word >> i) & 1u);
}

void poll_buttons() {
    platform_read_buttons(&g_input_word);
    g_input_word &= INPUT_MASK;
    if (g_input_word == g_prev_input_word) return;
    update_key_states(g_input_word, g_prev_input_word);
    g_prev_input_word = g_input_word;
}
