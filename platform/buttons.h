// The buttons as a table of levels, one byte per bit of the button word.
#pragma once
#include <cstdint>

constexpr int KEY_COUNT = 19;
constexpr std::uint32_t INPUT_MASK = 0x0007FFFF;  // bits 0-18 carry buttons

constexpr int BUTTON_UP = 0;
constexpr int BUTTON_LEFT = 2;
constexpr int BUTTON_DOWN = 4;
constexpr int BUTTON_RIGHT = 6;
constexpr int BUTTON_ACTION = 12;

extern std::uint32_t g_input_word;       // the latest poll's word, masked
extern std::uint32_t g_prev_input_word;  // the masked word of the latest poll that saw a change
extern std::uint8_t g_key_state[KEY_COUNT];  // 1 while that button is held

// Puts the table and both words back as they are when the program starts.
void reset_button_state();

// One read of the button device; brings g_key_state up to date.
void poll_buttons();

// Writes the entries of g_key_state whose bits differ between the two words.
void update_key_states(std::uint32_t new_word, std::uint32_t previous_word);
