// SPDX-License-Identifier: GPL-3.0-or-later
#include <cstddef>

#include "engine/cpu_dispatch.h"
#include "engine/effects.h"
#include "engine/effects_avx2.h"

namespace vz {

void applyBwInvert(const FrameSettings& s, uint8_t* pixels, int width, int height) {
  const int flip = s.invertRed == 1 ? 255 : 0;
  const std::ptrdiff_t count = static_cast<std::ptrdiff_t>(width) * height;
  const std::ptrdiff_t done =
      useAvx2() ? bwInvertPixelsAvx2(static_cast<uint8_t>(flip), pixels, count) : 0;
  for (std::ptrdiff_t i = done; i < count; ++i) {
    uint8_t* p = pixels + 3 * i;
    const uint8_t y = static_cast<uint8_t>(((p[0] + p[1] + p[2]) / 3) ^ flip);
    p[0] = y;
    p[1] = y;
    p[2] = y;
  }
}

void applyGreenBlueGrey(const FrameSettings&, uint8_t* pixels, int width, int height) {
  const std::ptrdiff_t count = static_cast<std::ptrdiff_t>(width) * height;
  const std::ptrdiff_t done = useAvx2() ? greenBlueGreyPixelsAvx2(pixels, count) : 0;
  for (std::ptrdiff_t i = done; i < count; ++i) {
    uint8_t* p = pixels + 3 * i;
    const uint8_t v = static_cast<uint8_t>((p[0] + p[1]) >> 1);
    p[0] = v;
    p[1] = v;
    p[2] = v;
  }
}

}  // namespace vz
