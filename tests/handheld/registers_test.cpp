// The display controller's register sequences, over a scripted register
// block that logs every access: the vertical-sync wait and the four address
// writes. The emulated handheld shows the same code on the device files.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "ports/handheld/device.h"
#include "platform/display.h"
#include "ports/handheld/registers.h"

namespace {

struct Access {
    bool write;
    int element;
    std::uint16_t value;
};

// Reads of the status register come from a script of flag levels; other
// registers read 0. Every access is logged in order.
struct ScriptedRegisters {
    std::vector<std::uint16_t> status_script;
    mutable std::size_t next = 0;
    mutable std::vector<Access> log;

    std::uint16_t read(int element) const {
        std::uint16_t value = 0;
        if (element == REG_DISPLAY_STATUS) {
            // Past the end of the script the flag stays up, so a wait that
            // reads too far still ends and the log shows it.
            value = next < status_script.size() ? status_script[next] : VSYNC_FLAG;
            ++next;
        }
        log.push_back(Access{false, element, value});
        return value;
    }
    void write(int element, std::uint16_t value) const { log.push_back(Access{true, element, value}); }
};

TEST(VsyncWait, EndsAtTheFirstRiseAndReadsOnlyTheStatus) {
    // Entered with the flag up, it must see it fall and rise again; entered
    // with it down, only the rise. The other bits of the status register are
    // noise the wait ignores. Each script ends with a level the wait must
    // not read.
    const std::vector<std::uint16_t> scripts[] = {{0x0010, 0xFFFF, 0x0010, 0xFFEF, 0x0000, 0x0020, 0x0011, 0x0010},
                                                  {0x0000, 0x0000, 0x0010, 0x0010}};
    for (const auto& script : scripts) {
        ScriptedRegisters regs;
        regs.status_script = script;
        wait_vsync_rise(regs);
        EXPECT_EQ(regs.next, script.size() - 1) << "the wait must end at the read that first sees bit 4 back at 1";
        for (const Access& a : regs.log) {
            EXPECT_FALSE(a.write);
            EXPECT_EQ(a.element, REG_DISPLAY_STATUS);
        }
    }
}

TEST(DisplayAddressWrites, FourStoresInRegisterOrderForEitherBuffer) {
    const struct {
        std::uint32_t address;
        std::uint16_t low, high;
    } cases[] = {{DISPLAY_ADDR_FB0, 0x1000, 0x0310}, {DISPLAY_ADDR_FB1, 0x1000, 0x0338}};
    for (const auto& c : cases) {
        ScriptedRegisters regs;
        write_display_address(regs, c.address);
        ASSERT_EQ(regs.log.size(), 4u);
        const int element[4] = {0x290E / 2, 0x2910 / 2, 0x2912 / 2, 0x2914 / 2};
        const std::uint16_t value[4] = {c.low, c.high, c.low, c.high};
        for (int i = 0; i < 4; ++i) {
            EXPECT_TRUE(regs.log[static_cast<std::size_t>(i)].write);
            EXPECT_EQ(regs.log[static_cast<std::size_t>(i)].element, element[i]) << "write " << i;
            EXPECT_EQ(regs.log[static_cast<std::size_t>(i)].value, value[i]) << "write " << i;
        }
    }
}

}  // namespace
