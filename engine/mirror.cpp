// SPDX-License-Identifier: GPL-3.0-or-later
#include <cstddef>

#include "engine/cpu_dispatch.h"
#include "engine/effects.h"
#include "engine/effects_avx2.h"

namespace vz {

void mirrorRows(uint8_t* pixels, int width, int height) {
  const std::ptrdiff_t rowBytes = static_cast<std::ptrdiff_t>(width) * 3;
  const int half = width / 2;
  const bool avx2 = useAvx2();
  for (int y = 0; y < height; ++y) {
    uint8_t* row = pixels + y * rowBytes;
    for (int x = avx2 ? mirrorRowAvx2(row, width) : 0; x < half; ++x) {
      const uint8_t* from = row + 3 * (width - 1 - x);
      uint8_t* to = row + 3 * x;
      to[0] = from[0];
      to[1] = from[1];
      to[2] = from[2];
    }
  }
}

}  // namespace vz
