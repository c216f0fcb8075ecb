#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/frame_settings.h"

namespace vz {

// AVX2 bodies of the effect kernels, called only when useAvx2(). Those that take a pixel
// count work on whole blocks of 32 pixels and return how many they did; the caller finishes
// the rest with the portable code.

// Whether the settings lie where the Overflow vector arithmetic is exact (every byte a
// bank can store does).
bool overflowFitsAvx2(const FrameSettings& s);
std::ptrdiff_t overflowPixelsAvx2(const FrameSettings& s, uint8_t* pixels, std::ptrdiff_t count);

}  // namespace vz
