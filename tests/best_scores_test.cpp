// The best-score table: its text both ways, damaged texts, and what counts as
// a new best.
#include <gtest/gtest.h>

#include "ports/common/best_scores.h"

TEST(BestScores, TextRoundTripsAndReadsAPersonsEdits) {
    BestScores t, back;
    t.score[1][2] = 1234;
    t.score[2][3] = 2147483647;
    const std::string text = format_best_scores(t);
    EXPECT_EQ(text.rfind("burrowrotor best scores 1\nNORMAL SLOW 0\n", 0), 0u);
    EXPECT_NE(text.find("\nCOIN FAST 1234\n"), std::string::npos);
    std::string error;
    ASSERT_TRUE(parse_best_scores(text, &back, &error)) << error;
    EXPECT_EQ(format_best_scores(back), text);

    // Any order, lines left out, comments, blank lines, CRLF, tabs.
    ASSERT_TRUE(parse_best_scores("burrowrotor best scores 1\r\n# mine\n\nMOVING\tSLOW  55\r\nNORMAL FAST 9", &back,
                                  &error))
        << error;
    EXPECT_EQ(best_score_of(back, 2, 0), 55);
    EXPECT_EQ(best_score_of(back, 0, 2), 9);
    EXPECT_EQ(best_score_of(back, 1, 2), 0);
}

TEST(BestScores, DamagedTextIsRefusedWithItsLineAndLeavesTheTableAlone) {
    const struct {
        const char* text;
        const char* error;
    } cases[] = {
        {"COIN FAST 12\n", "line 1: not a best-score table"},
        {"burrowrotor best scores 2\nCOIN FAST 12\n", "line 1: format version '2' is not known"},
        {"burrowrotor best scores 1\nCOIN FASTER 12\n", "line 2: unknown speed 'FASTER'"},
        {"burrowrotor best scores 1\nCOIN FAST -12\n", "line 2: score '-12' is not a whole number"},
        {"burrowrotor best scores 1\nCOIN FAST 2147483648\n", "line 2: score '2147483648'"},
        {"burrowrotor best scores 1\n\nCOIN FAST 1\nCOIN FAST 2\n", "line 4: COIN FAST is given twice"},
        {"burrowrotor best scores 1\nCOIN\x1b[2J FAST 1\n", "line 2: unknown game mode 'COIN\\x1B[2J'"},
    };
    for (const auto& c : cases) {
        BestScores t;
        t.score[1][1] = 77;
        std::string error;
        EXPECT_FALSE(parse_best_scores(c.text, &t, &error)) << c.text;
        EXPECT_EQ(error.rfind(c.error, 0), 0u) << "got: " << error;
        EXPECT_EQ(t.score[1][1], 77);
    }
}

TEST(BestScores, OnlyAHigherScoreOfAModeAndSpeedTheMenuOffersIsANewBest) {
    BestScores t;
    EXPECT_TRUE(record_best_score(&t, 1, 2, 100));
    EXPECT_FALSE(record_best_score(&t, 1, 2, 100));
    EXPECT_TRUE(record_best_score(&t, 1, 2, 101));
    EXPECT_FALSE(record_best_score(&t, 3, 0, 50));  // mode 3 plays as NORMAL but is no menu choice
    EXPECT_FALSE(record_best_score(&t, 0, 4, 50));  // speeds are 0-3
    EXPECT_EQ(best_score_of(t, 1, 2), 101);
}
