// The display controller's register sequences, over a scripted register
// block that logs every access: the vertical-sync wait and the four address
// writes. The emulated handheld shows the same code on the device files.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/display.h"
#include "ports/handheld/registers.h"

namespace {

// Reads of the status register come from a script of flag levels; past its
// end the flag stays up, so a wait that reads too far still ends and the log
// shows it. Every access is logged in order: " r1182", " w290E=1000".
struct ScriptedRegisters {
    std::vector<std::uint16_t> status_script;
    mutable std::size_t next = 0;
    mutable std::string log;

    void note(const char* format, int element, unsigned value = 0) const {
        char entry[16];
        std::snprintf(entry, sizeof entry, format, element * 2, value);
        log += entry;
    }
    std::uint16_t read(int element) const {
        note(" r%04X", element);
        if (element != REG_DISPLAY_STATUS) return 0;
        return next < status_script.size() ? status_script[next++] : VSYNC_FLAG;
    }
    void write(int element, std::uint16_t value) const { note(" w%04X=%04X", element, value); }
};

TEST(VsyncWait, EndsAtTheFirstRiseAndReadsOnlyTheStatus) {
    // Entered with the flag up, it must see it fall and rise again; entered
    // with it down, only the rise. The other bits of the status register are
    // noise the wait ignores. It reads each level of the script, no more.
    const std::vector<std::uint16_t> scripts[] = {{0x0010, 0xFFFF, 0x0010, 0xFFEF, 0x0000, 0x0020, 0x0011},
                                                  {0x0000, 0x0000, 0x0010}};
    for (const auto& script : scripts) {
        ScriptedRegisters regs;
        regs.status_script = script;
        wait_vsync_rise(regs);
        std::string expected;
        for (std::size_t i = 0; i < script.size(); ++i) expected += " r1182";
        EXPECT_EQ(regs.log, expected);
    }
}

TEST(DisplayAddressWrites, FourStoresInRegisterOrderForEitherBuffer) {
    ScriptedRegisters regs;
    write_display_address(regs, DISPLAY_ADDR_FB0);
    EXPECT_EQ(regs.log, " w290E=1000 w2910=0310 w2912=1000 w2914=0310");
    regs.log.clear();
    write_display_address(regs, DISPLAY_ADDR_FB1);
    EXPECT_EQ(regs.log, " w290E=1000 w2910=0338 w2912=1000 w2914=0338");
}

}  // namespace
