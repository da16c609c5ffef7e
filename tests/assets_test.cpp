// What the game's rules need of the compiled-in pictures, which the golden
// runs cannot show: collision reads colours back, so no picture but the coin
// may hold the wall or the coin colour, the chopper's probe points inside its
// box must be transparent in both pictures, and white (one step from the key)
// would show as specks where a picture is meant to be clear.
#include "assets/assets.h"

#include <gtest/gtest.h>

#include <set>

#include "game/game.h"

namespace {

TEST(Assets, ColoursTheCollisionTestReadsBackAreOnlyWhereTheyBelong) {
    EXPECT_EQ(std::set<Rgb565>(g_font_sheet, g_font_sheet + 256 * 128), (std::set<Rgb565>{0x0000, COLOR_KEY}));
    const struct {
        const Rgb565* image;
        int pixels;
    } all[] = {{g_title_image, TITLE_WIDTH * TITLE_HEIGHT},
               {g_coin_image, COIN_SIZE * COIN_SIZE},
               {g_chopper_frame_a, CHOPPER_WIDTH * CHOPPER_HEIGHT},
               {g_chopper_frame_b, CHOPPER_WIDTH * CHOPPER_HEIGHT}};
    for (const auto& a : all) {
        const std::set<Rgb565> used(a.image, a.image + a.pixels);
        EXPECT_EQ(used.count(COLOR_WHITE), 0u);
        EXPECT_EQ(used.count(COLOR_WALL), 0u);
        EXPECT_EQ(used.count(COLOR_COIN), a.image == g_coin_image ? 1u : 0u);
    }
    for (const Rgb565* frame : {g_chopper_frame_a, g_chopper_frame_b})
        for (const ProbePoint& p : PROBE_POINTS)
            if (p.dx >= 0 && p.dx < CHOPPER_WIDTH && p.dy >= 0 && p.dy < CHOPPER_HEIGHT) {
                EXPECT_EQ(frame[p.dy * CHOPPER_WIDTH + p.dx], COLOR_KEY) << p.dx << "," << p.dy;
            }
}

}  // namespace
