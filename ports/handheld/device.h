// The handheld itself: the four device files, the display controller's
// register block and the two display buffers, set up once at power-on and
// kept until the process is killed.
#pragma once
#include <cstdint>

constexpr std::uint32_t REGS_PHYS_BASE = 0xC0000000;  // where the register block lies in /dev/mem
constexpr std::uint32_t REGS_MAP_LENGTH = 0x10000;

extern int g_gpio_fd;  // "/dev/GPIO", read-only; every 4-byte read is the button word
extern int g_mem_fd;   // "/dev/mem", read-write; only needed for the register mapping
extern int g_fb_fd[2];  // "/dev/fb0", "/dev/fb1", read-write; only needed for the buffer mappings
extern volatile std::uint16_t* g_regs;  // the register block; nullptr when it could not be mapped

// Opens the devices and maps the register block and both display buffers into
// g_regs and g_frame, attempting every step even after a failure. Writes one
// line to stderr, with the reason, for each mapping that fails (the register
// block, then buffer 0, then buffer 1) and nothing else, then returns false:
// the caller must stop without drawing or touching a register. A missing
// button device only means that no button is ever seen. Prints nothing when
// everything is there.
bool device_start_up();
