// SPDX-License-Identifier: GPL-3.0-or-later
#include <algorithm>
#include <cstddef>

#include "engine/cpu_dispatch.h"
#include "engine/effects.h"
#include "engine/effects_avx2.h"

namespace vz {

namespace {

// Byte k takes the mean of the same channel in the four following pixels, all still
// unwritten since the walk moves forward.
void smearBytes(uint8_t* q, std::ptrdiff_t from, std::ptrdiff_t to) {
  for (std::ptrdiff_t k = from; k < to; ++k)
    q[k] = static_cast<uint8_t>((q[k + 3] + q[k + 6] + q[k + 9] + q[k + 12]) >> 2);
}

}  // namespace

void smearRuns(uint8_t* first, int width, int runs, const uint8_t* tail) {
  const std::ptrdiff_t runBytes = static_cast<std::ptrdiff_t>(width - 2) * 3;
  const std::ptrdiff_t stride = static_cast<std::ptrdiff_t>(width - 1) * 3;
  const bool avx2 = useAvx2();
  for (int j = 0; j < runs; ++j) {
    uint8_t* q = first + j * stride;
    // With a tail, the last run's final bytes read the saved bytes instead of the next run's,
    // which another thread may already have written.
    const std::ptrdiff_t near =
        tail != nullptr && j == runs - 1 ? std::min<std::ptrdiff_t>(9, runBytes) : 0;
    const std::ptrdiff_t inPlace = runBytes - near;
    smearBytes(q, avx2 ? smearRunAvx2(q, inPlace) : 0, inPlace);
    if (near <= 0) continue;
    uint8_t window[9 + 12];
    std::copy_n(q + inPlace, near, window);
    std::copy_n(tail, 12, window + near);
    smearBytes(window, 0, near);
    std::copy_n(window, near, q + inPlace);
  }
}

void applySmear(const FrameSettings&, uint8_t* pixels, int width, int height) {
  // The walk reads up to four pixels past each run; below three rows or columns it would
  // leave the frame, so such frames stay as they are.
  if (width < 3 || height < 3) return;
  smearRuns(pixels, width, height, nullptr);
}

}  // namespace vz
