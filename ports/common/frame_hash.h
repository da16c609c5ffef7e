// FNV-1a 64 of a shown frame: the fingerprint that lets two builds prove they
// showed the same pixels.
#pragma once
#include <cstdint>

#include "gfx/surface.h"

// Over the 153600 bytes of the frame, each pixel low byte first.
std::uint64_t frame_hash(const FrameSurface* frame);
