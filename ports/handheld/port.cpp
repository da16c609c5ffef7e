// The three machine operations on the real handheld: the vertical-sync flag
// and the display address registers of the display controller, and the
// button device.
#include <unistd.h>

#include "ports/handheld/device.h"
#include "ports/handheld/registers.h"
#include "platform/platform.h"

void platform_wait_refresh() { wait_vsync_rise(DeviceRegisters{g_regs}); }

void platform_show(std::uint32_t display_address) { write_display_address(DeviceRegisters{g_regs}, display_address); }

// Without a button device (or at the end of a recorded tape) the read
// delivers nothing and the word keeps its value.
void platform_read_buttons(std::uint32_t* word) {
    const ssize_t got = read(g_gpio_fd, word, sizeof *word);
    static_cast<void>(got);
}
