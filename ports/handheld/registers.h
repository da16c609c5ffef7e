// The display controller's registers, as the handheld's CPU sees them in the
// block that start-up maps from /dev/mem at 0xC0000000. Each register is 16
// bits wide; the one at byte offset k is element k/2 of the block.
#pragma once
#include <cstdint>

constexpr int REG_DISPLAY_STATUS = 0x1182 / 2;    // read only; bit 4 is the vertical-sync flag
constexpr int REG_DISPLAY_ADDR1_LO = 0x290E / 2;  // write only; bits 15-0 of the display address
constexpr int REG_DISPLAY_ADDR1_HI = 0x2910 / 2;  // write only; bits 31-16
constexpr int REG_DISPLAY_ADDR2_LO = 0x2912 / 2;  // the second pair always gets the same address
constexpr int REG_DISPLAY_ADDR2_HI = 0x2914 / 2;

constexpr std::uint16_t VSYNC_FLAG = 0x0010;

// The real block: every read is a fresh 16-bit load and every write one 16-bit
// store, made exactly where and in the order the code makes them.
struct DeviceRegisters {
    volatile std::uint16_t* base;
    std::uint16_t read(int element) const { return base[element]; }
    void write(int element, std::uint16_t value) const { base[element] = value; }
};

// Returns at the first read that sees the vertical-sync flag at 1 after a read
// that saw it at 0. Entered while the flag is already up, it first waits for
// the flag to fall, so it never returns within the refresh it was called in.
// The display is the clock: no sleeping, no yielding, no time limit.
template <class Registers>
void wait_vsync_rise(const Registers& regs) {
    while ((regs.read(REG_DISPLAY_STATUS) & VSYNC_FLAG) != 0) {
    }
    while ((regs.read(REG_DISPLAY_STATUS) & VSYNC_FLAG) == 0) {
    }
}

// Points the display at a buffer: low half, high half, then the same again
// for the second register pair.
template <class Registers>
void write_display_address(const Registers& regs, std::uint32_t address) {
    const auto low = static_cast<std::uint16_t>(address & 0xFFFFu);
    const auto high = static_cast<std::uint16_t>(address >> 16);
    regs.write(REG_DISPLAY_ADDR1_LO, low);
    regs.write(REG_DISPLAY_ADDR1_HI, high);
    regs.write(REG_DISPLAY_ADDR2_LO, low);
    regs.write(REG_DISPLAY_ADDR2_HI, high);
}
