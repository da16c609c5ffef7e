// The flip and the key table over a fake machine defined here: it records
// every wait and every display address, and hands out scripted button words.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/buttons.h"
#include "platform/display.h"
#include "platform/platform.h"

namespace {

std::vector<std::string> g_events;     // "wait", "show 03101000", "read"
std::vector<std::uint32_t> g_words;   // the words the next reads deliver, front first
std::vector<bool> g_delivers;         // false: that read delivers nothing
std::size_t g_next_read = 0;

FrameSurface g_buffers[2];

void start_machine() {
    g_events.clear();
    g_words.clear();
    g_delivers.clear();
    g_next_read = 0;
    g_frame[0] = &g_buffers[0];
    g_frame[1] = &g_buffers[1];
    reset_display_state();
    reset_button_state();
}

// Queues the word the next poll reads; `delivered` false means the read
// returns no bytes.
void next_read(std::uint32_t word, bool delivered = true) {
    g_words.push_back(word);
    g_delivers.push_back(delivered);
}

std::string held_keys() {
    std::string s;
    for (int i = 0; i < KEY_COUNT; ++i) s += g_key_state[i] ? '1' : '0';
    return s;
}

std::string keys_with(std::initializer_list<int> held) {
    std::string s(KEY_COUNT, '0');
    for (int i : held) s[static_cast<std::size_t>(i)] = '1';
    return s;
}

}  // namespace

void platform_wait_refresh() { g_events.push_back("wait"); }

void platform_show(std::uint32_t display_address) {
    char text[20];
    std::snprintf(text, sizeof text, "show %08X", display_address);
    g_events.push_back(text);
}

void platform_read_buttons(std::uint32_t* word) {
    g_events.push_back("read");
    const std::size_t i = g_next_read++;
    if (i < g_words.size() && g_delivers[i]) *word = g_words[i];
}

namespace {

TEST(Display, ShowBufferPicksTheAddressByPointer) {
    start_machine();
    FrameSurface elsewhere;
    show_buffer(g_frame[0], 0);
    show_buffer(g_frame[1], 0);
    show_buffer(&elsewhere, 0);
    show_buffer(nullptr, 1);
    EXPECT_EQ(g_events, (std::vector<std::string>{"show 03101000", "show 03381000", "show 03381000", "wait",
                                                   "show 03381000"}));
}

TEST(Display, FlipWaitsThenShowsAndAlternatesTheDrawTarget) {
    start_machine();
    EXPECT_EQ(g_back_index, 0);
    EXPECT_EQ(g_draw_target, g_frame[0]);
    EXPECT_TRUE(g_events.empty()) << "start-up shows nothing";
    for (int n = 1; n <= 5; ++n) {
        flip_screen();
        const bool odd = n % 2 == 1;
        EXPECT_EQ(g_back_index, odd ? 1 : 0) << "after flip " << n;
        EXPECT_EQ(g_draw_target, g_frame[odd ? 1 : 0]) << "after flip " << n;
        ASSERT_EQ(g_events.size(), static_cast<std::size_t>(2 * n));
        EXPECT_EQ(g_events[static_cast<std::size_t>(2 * n - 2)], "wait") << "flip " << n << " must wait first";
        EXPECT_EQ(g_events[static_cast<std::size_t>(2 * n - 1)], odd ? "show 03101000" : "show 03381000")
            << "flip " << n << " shows the buffer just drawn";
    }
}

using Tables = std::vector<std::string>;

// Polls once for every queued read; the key table after each poll.
Tables poll_all() {
    Tables seen;
    while (g_next_read < g_words.size()) {
        poll_buttons();
        seen.push_back(held_keys());
    }
    return seen;
}

TEST(Buttons, FirstPollIgnoresButtonsAlreadyHeld) {
    start_machine();
    const std::uint32_t action = 1u << BUTTON_ACTION, down = 1u << BUTTON_DOWN;
    // ACTION held since before the first poll; DOWN pressed later follows at
    // once; ACTION counts only once released and pressed again.
    for (std::uint32_t word : {action, action, action | down, down, down | action}) next_read(word);
    const std::string none = keys_with({}), d = keys_with({BUTTON_DOWN});
    EXPECT_EQ(poll_all(), (Tables{none, none, d, d, keys_with({BUTTON_DOWN, BUTTON_ACTION})}));
    EXPECT_EQ(g_events, std::vector<std::string>(5, "read")) << "one read per poll, nothing else";
}

TEST(Buttons, TableFollowsTheDeviceAfterTheFirstPoll) {
    start_machine();
    // Several buttons change in one poll, in both directions.
    for (std::uint32_t word : {0u, 1u << BUTTON_DOWN, 0u, (1u << BUTTON_UP) | (1u << BUTTON_LEFT) | (1u << 18),
                               (1u << BUTTON_RIGHT) | (1u << BUTTON_LEFT) | (1u << 18) | (1u << 1)})
        next_read(word);
    EXPECT_EQ(poll_all(), (Tables{keys_with({}), keys_with({BUTTON_DOWN}), keys_with({}),
                                  keys_with({BUTTON_UP, BUTTON_LEFT, 18}),
                                  keys_with({BUTTON_RIGHT, BUTTON_LEFT, 18, 1})}));
}

TEST(Buttons, HighBitsNeverReachTheTable) {
    start_machine();
    next_read(0xFFF80000u);                          // only bits 19-31: as if nothing were held
    next_read(0x00080000u | (1u << BUTTON_ACTION));  // a press, with bit 19 set
    poll_buttons();
    EXPECT_EQ(g_input_word, 0u);
    poll_buttons();
    EXPECT_EQ(held_keys(), keys_with({BUTTON_ACTION}));
    const std::uint32_t prev = g_prev_input_word;
    next_read(0x80000000u | (1u << BUTTON_ACTION));  // only the high bits change
    poll_buttons();
    EXPECT_EQ(held_keys(), keys_with({BUTTON_ACTION}));
    EXPECT_EQ(g_prev_input_word, prev) << "a change in bits 19-31 alone is no change";
    EXPECT_EQ(g_input_word, 1u << BUTTON_ACTION);
}

TEST(Buttons, NothingDeliveredLeavesTheTable) {
    start_machine();
    next_read(0);
    next_read(1u << BUTTON_UP);
    next_read(0xDEADBEEF, false);  // the device delivers nothing: the old word stands
    next_read(0, false);
    const std::string up = keys_with({BUTTON_UP});
    EXPECT_EQ(poll_all(), (Tables{keys_with({}), up, up, up}));
    // Without any button source no button is ever held.
    start_machine();
    next_read(0, false);
    EXPECT_EQ(poll_all(), Tables{keys_with({})});
}

TEST(Buttons, UpdateWritesOnlyChangedEntries) {
    start_machine();
    std::memset(g_key_state, 7, sizeof g_key_state);  // marks entries that must not be written
    update_key_states(1u << BUTTON_DOWN, 0);
    update_key_states(0x00070000u, 0x00030000u);  // bit 18 set; 16 and 17 unchanged
    std::string expected(KEY_COUNT, '7');
    expected[BUTTON_DOWN] = '1';
    expected[18] = '1';
    std::string got;
    for (int i = 0; i < KEY_COUNT; ++i) got += static_cast<char>('0' + g_key_state[i]);
    EXPECT_EQ(got, expected);
}

}  // namespace
