// The session's tape kept for the hall of fame: a line for each change, a
// closing line at the frame the claim is made, and a bound on its size.
#include "ports/common/session_tape.h"

#include <gtest/gtest.h>

#include "platform/buttons.h"
#include "ports/common/tape.h"

TEST(SessionTape, RecordsEachChangeAndClosesAtTheFrameOfTheClaim) {
    constexpr std::uint32_t ACTION = 1u << BUTTON_ACTION;
    SessionTape tape;
    for (std::uint64_t frame = 11; frame < 40; ++frame)
        session_tape_record(&tape, frame, frame >= 20 && frame < 30 ? ACTION : 0);
    const std::string head = std::string(TAPE_HEADER) + "\n20 ACTION\n30 -\n";
    EXPECT_EQ(session_tape_until(tape, 30), head);
    // A crash long after the last change: the replay must run that far.
    const std::string text = session_tape_until(tape, 995);
    EXPECT_EQ(text, head + "995 -\n");
    ButtonTape parsed;
    std::string error;
    ASSERT_TRUE(parse_button_tape(text, &parsed, &error)) << error;
    EXPECT_EQ(tape_word_at(&parsed, 29), ACTION);
}

TEST(SessionTape, StopsGrowingAtItsBound) {
    SessionTape tape;
    for (std::uint64_t frame = 1; !tape.full && frame < 10000000; ++frame) session_tape_record(&tape, frame, frame & 1u);
    EXPECT_TRUE(tape.full);
    EXPECT_LE(tape.text.size(), MAX_SESSION_TAPE_BYTES);
}
