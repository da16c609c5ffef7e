// What the probe draws into frame i, so a test can predict its fingerprint.
#pragma once
#include <cstdint>

#include "gfx/surface.h"

inline void fill_probe_frame(FrameSurface* frame, std::uint16_t index, std::uint32_t word) {
    for (Rgb565& p : frame->pixels) p = index;
    frame->pixels[0] = static_cast<Rgb565>(word & 0xFFFFu);
    frame->pixels[1] = static_cast<Rgb565>(word >> 16);
}
