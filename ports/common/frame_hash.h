// FNV-1a 64 of a shown frame: the fingerprint that lets two builds prove they
// showed the same pixels.
#pragma once
#include <cstdint>

#include "gfx/surface.h"

// FNV-1a 64, one byte at a time: the start value and one step.
constexpr std::uint64_t FNV_OFFSET = 0xcbf29ce484222325ull;
inline std::uint64_t fnv1a_step(std::uint64_t h, std::uint64_t byte) { return (h ^ byte) * 0x100000001b3ull; }

// Over the 153600 bytes of the frame, each pixel low byte first.
std::uint64_t frame_hash(const FrameSurface* frame);
