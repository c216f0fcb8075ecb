// SPDX-License-Identifier: GPL-3.0-or-later
#include <algorithm>
#include <cstddef>

#include "engine/cpu_dispatch.h"
#include "engine/effects.h"
#include "engine/effects_avx2.h"

namespace vz {

void applyEmboss(const FrameSettings&, uint8_t* pixels, int width, int height) {
  const std::ptrdiff_t rowBytes = static_cast<std::ptrdiff_t>(width) * 3;
  const bool avx2 = useAvx2();
  for (int y = 0; y < height; ++y) {
    uint8_t* row = pixels + y * rowBytes;
    const int done = avx2 ? embossRowAvx2(row, width) : width;
    // Each pixel compares its red + green with its left neighbour's original sum; walking
    // right to left keeps the neighbour unwritten, so no carried reference is needed.
    for (int x = done - 1; x >= 2; --x) {
      uint8_t* p = row + 3 * x;
      const int d = std::clamp((p[1] + p[2]) - (p[-2] + p[-1]), -127, 127) + 128;
      p[0] = p[1] = p[2] = static_cast<uint8_t>(d);
    }
    if (width >= 2) {
      // The first reference is half the first pixel's red + green; that pixel keeps its bytes.
      uint8_t* p = row + 3;
      const int d = std::clamp((p[1] + p[2]) - ((row[1] + row[2]) >> 1), -127, 127) + 128;
      p[0] = p[1] = p[2] = static_cast<uint8_t>(d);
    }
  }
}

}  // namespace vz
