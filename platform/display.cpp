#include "platform/display.h"

#include "platform/platform.h"

FrameSurface* g_frame[2] = {nullptr, nullptr};
int g_back_index = 0;
FrameSurface* g_draw_target = nullptr;

void reset_display_state() {
    g_back_index = 0;
    g_draw_target = g_frame[g_back_index];
}

void show_buffer(FrameSurface* buffer, int wait) {
    const std::uint32_t address = buffer == g_frame[0] ? DISPLAY_ADDR_FB0 : DISPLAY_ADDR_FB1;
    if (wait != 0) platform_wait_refresh();
    platform_show(address);
}

void flip_screen() {
    show_buffer(g_draw_target, 1);
    g_back_index = g_back_index == 0 ? 1 : 0;
    g_draw_target = g_frame[g_back_index];
}
