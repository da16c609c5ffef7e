// A stand-in for the game on the emulated handheld: it starts up exactly as
// the game does, then shows frames whose content the tests can predict, or
// breaks one rule of the display on purpose so the tests can see the emulator
// catch it.
//
//   handheld_probe frames N   N frames, frame i filled with i, pixels 0-1 the button word polled for it; exit 0
//   handheld_probe slow N     the same, but each frame takes longer than a refresh
//   handheld_probe noflip     draws for ever and never flips
//   handheld_probe nowait     flips without waiting for vertical sync
//   handheld_probe badorder   writes the high half of the second pair first
//   handheld_probe partial    writes only the first address register, then draws for ever
//   handheld_probe stray      writes a register the display does not use, then flips
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "ports/handheld/device.h"
#include "ports/handheld/registers.h"
#include "platform/display.h"
#include "platform/platform.h"
#include "tests/handheld/probe_frame.h"

namespace {

void pause_ms(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

[[noreturn]] void draw_for_ever() {
    for (std::uint16_t i = 0;; ++i) fill_probe_frame(g_draw_target, i, 0);
}

}  // namespace

int main(int argc, char** argv) {
    if (!device_start_up()) return 1;
    const char* mode = argc > 1 ? argv[1] : "frames";
    const int count = argc > 2 ? std::atoi(argv[2]) : 10;
    const DeviceRegisters regs{g_regs};
    if (std::strcmp(mode, "frames") == 0 || std::strcmp(mode, "slow") == 0) {
        std::uint32_t word = 0;
        for (int i = 1; i <= count; ++i) {
            platform_read_buttons(&word);
            fill_probe_frame(g_draw_target, static_cast<std::uint16_t>(i), word);
            if (mode[0] == 's') pause_ms(3);
            flip_screen();
        }
        return 0;
    }
    if (std::strcmp(mode, "noflip") == 0) draw_for_ever();
    if (std::strcmp(mode, "nowait") == 0) {
        for (;;) show_buffer(g_draw_target, 0);
    }
    if (std::strcmp(mode, "badorder") == 0) {
        wait_vsync_rise(regs);
        regs.write(REG_DISPLAY_ADDR2_HI, 0x0310);
        pause_ms(50);
        write_display_address(regs, DISPLAY_ADDR_FB0);
        draw_for_ever();
    }
    if (std::strcmp(mode, "partial") == 0) {
        wait_vsync_rise(regs);
        regs.write(REG_DISPLAY_ADDR1_LO, 0x1000);
        draw_for_ever();
    }
    if (std::strcmp(mode, "stray") == 0) {
        regs.write(0x1184 / 2, 0x1234);
        for (;;) flip_screen();
    }
    return 2;
}
