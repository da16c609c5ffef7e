// The flip and the key table over a fake machine defined here: it records
// every wait and every display address, and hands out scripted button words.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/buttons.h"
#include "platform/display.h"
#include "platform/platform.h"

namespace {

std::vector<std::string> g_events;  // "wait", "show 03101000", "read"
using Read = std::optional<std::uint32_t>;
std::vector<Read> g_reads;  // what the reads deliver, front first; nullopt: nothing
std::size_t g_next_read = 0;
FrameSurface g_buffers[2];

void start_machine() {
    g_events.clear();
    g_reads.clear();
    g_next_read = 0;
    g_frame[0] = &g_buffers[0];
    g_frame[1] = &g_buffers[1];
    reset_display_state();
    reset_button_state();
}

// The buttons held, one character per key: "1" where held.
std::string keys_with(std::initializer_list<int> held) {
    std::string s(KEY_COUNT, '0');
    for (int i : held) s[static_cast<std::size_t>(i)] = '1';
    return s;
}

// Polls once for each read; the key table after each poll.
std::vector<std::string> poll_words(std::initializer_list<Read> reads) {
    g_reads.insert(g_reads.end(), reads);
    std::vector<std::string> seen;
    while (g_next_read < g_reads.size()) {
        poll_buttons();
        std::string s;
        for (int i = 0; i < KEY_COUNT; ++i) s += g_key_state[i] ? '1' : '0';
        seen.push_back(s);
    }
    return seen;
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
    if (i < g_reads.size() && g_reads[i]) *word = *g_reads[i];
}

namespace {

using Strings = std::vector<std::string>;

TEST(Display, FlipWaitsThenShowsTheBufferJustDrawnAndAlternatesTheDrawTarget) {
    start_machine();
    EXPECT_EQ(g_draw_target, g_frame[0]);
    for (int n = 1; n <= 3; ++n) {
        flip_screen();
        EXPECT_EQ(g_draw_target, g_frame[n % 2]) << "after flip " << n;
    }
    EXPECT_EQ(g_events, (Strings{"wait", "show 03101000", "wait", "show 03381000", "wait", "show 03101000"}));
    // Any surface but the first buffer is shown as the second.
    g_events.clear();
    FrameSurface elsewhere;
    show_buffer(&elsewhere, 0);
    EXPECT_EQ(g_events, Strings{"show 03381000"});
}

TEST(Buttons, TableFollowsTheDeviceInBitsZeroTo18Only) {
    start_machine();
    // Several buttons change in one poll, in both directions; bits 19-31 are
    // not buttons; a read that delivers nothing leaves the word as it was.
    EXPECT_EQ(poll_words({0xFFF80000u, (1u << BUTTON_UP) | (1u << BUTTON_LEFT) | (1u << 18),
                          (1u << BUTTON_RIGHT) | (1u << BUTTON_LEFT) | (1u << 19) | (1u << 1), std::nullopt, 0}),
              (Strings{keys_with({}), keys_with({BUTTON_UP, BUTTON_LEFT, 18}), keys_with({BUTTON_RIGHT, BUTTON_LEFT, 1}),
                       keys_with({BUTTON_RIGHT, BUTTON_LEFT, 1}), keys_with({})}));
    start_machine();
    poll_words({1u << BUTTON_ACTION, 0x80080000u | (1u << BUTTON_ACTION)});
    EXPECT_EQ(g_input_word, 1u << BUTTON_ACTION);
    EXPECT_EQ(g_prev_input_word, 1u << BUTTON_ACTION) << "a change in bits 19-31 alone is no change";
}

}  // namespace
