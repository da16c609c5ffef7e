// The display controller's register sequences: the vertical-sync wait and the
// four address writes, first over a scripted register block that logs every
// access, then through the real backend with the status register driven by a
// second thread, as the display drives it.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>
#include <vector>

#include "ports/handheld/device.h"
#include "ports/handheld/registers.h"
#include "platform/display.h"

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

TEST(VsyncWait, EndsAtTheFirstRiseAndReadsTheStatusEveryTime) {
    // Entered with the flag up: it must see it fall and rise again. The other
    // bits of the status register are noise the wait ignores.
    ScriptedRegisters regs;
    regs.status_script = {0x0010, 0xFFFF, 0x0010, 0xFFEF, 0x0000, 0x0020, 0x0011, 0x0010};
    wait_vsync_rise(regs);
    EXPECT_EQ(regs.next, 7u) << "the wait must end at the read that first sees bit 4 back at 1";
    for (const Access& a : regs.log) {
        EXPECT_FALSE(a.write);
        EXPECT_EQ(a.element, REG_DISPLAY_STATUS);
    }
}

TEST(VsyncWait, EnteredWithTheFlagDownWaitsOnlyForTheRise) {
    ScriptedRegisters regs;
    regs.status_script = {0x0000, 0x0000, 0x0010};
    wait_vsync_rise(regs);
    EXPECT_EQ(regs.next, 3u);
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

// The real backend over a register block in memory. A second thread plays the
// display: it holds the flag up, lowers it, raises it, and records at which of
// these stages the address registers were written.
class DeviceFlip : public ::testing::Test {
protected:
    void SetUp() override {
        for (std::uint16_t& r : block_) r = 0;
        for (int r : {REG_DISPLAY_ADDR1_LO, REG_DISPLAY_ADDR1_HI, REG_DISPLAY_ADDR2_LO, REG_DISPLAY_ADDR2_HI})
            block_[r] = 0xFFFF;
        g_regs = block_;
        g_frame[0] = &buffers_[0];
        g_frame[1] = &buffers_[1];
        reset_display_state();
    }
    void TearDown() override { g_regs = nullptr; }

    void set_status(std::uint16_t v) { __atomic_store_n(&block_[REG_DISPLAY_STATUS], v, __ATOMIC_SEQ_CST); }
    std::uint16_t reg(int element) { return __atomic_load_n(&block_[element], __ATOMIC_SEQ_CST); }

    // One flip_screen while the display goes: flag up (as entered), down, up.
    // Returns the stage the display had reached when flip_screen returned.
    int flip_during_refresh() {
        std::atomic<int> stage{0};  // 0 flag up at entry, 1 flag down, 2 flag up again
        set_status(VSYNC_FLAG);
        std::thread display([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            stage = 1;
            set_status(0);
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            stage = 2;
            set_status(VSYNC_FLAG);
        });
        flip_screen();
        const int reached = stage;
        display.join();
        return reached;
    }

    std::uint16_t block_[REGS_MAP_LENGTH / 2];
    FrameSurface buffers_[2];
};

TEST_F(DeviceFlip, FirstAndSecondFlipWaitForTheNextRiseAndShowEachBufferInTurn) {
    EXPECT_EQ(flip_during_refresh(), 2) << "the flip ended before the flag had fallen and risen again";
    EXPECT_EQ(reg(REG_DISPLAY_ADDR1_LO), 0x1000);
    EXPECT_EQ(reg(REG_DISPLAY_ADDR1_HI), 0x0310);
    EXPECT_EQ(reg(REG_DISPLAY_ADDR2_LO), 0x1000);
    EXPECT_EQ(reg(REG_DISPLAY_ADDR2_HI), 0x0310);
    EXPECT_EQ(g_draw_target, g_frame[1]);

    EXPECT_EQ(flip_during_refresh(), 2);
    EXPECT_EQ(reg(REG_DISPLAY_ADDR1_LO), 0x1000);
    EXPECT_EQ(reg(REG_DISPLAY_ADDR1_HI), 0x0338);
    EXPECT_EQ(reg(REG_DISPLAY_ADDR2_LO), 0x1000);
    EXPECT_EQ(reg(REG_DISPLAY_ADDR2_HI), 0x0338);
    EXPECT_EQ(g_draw_target, g_frame[0]);

    // Nothing else in the block was touched, the status register included.
    for (int i = 0; i < static_cast<int>(REGS_MAP_LENGTH / 2); ++i) {
        if (i == REG_DISPLAY_STATUS || (i >= REG_DISPLAY_ADDR1_LO && i <= REG_DISPLAY_ADDR2_HI)) continue;
        ASSERT_EQ(reg(i), 0) << "register at byte offset " << 2 * i;
    }
}

}  // namespace
