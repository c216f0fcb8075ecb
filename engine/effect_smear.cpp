#include <cstddef>

#include "engine/cpu_dispatch.h"
#include "engine/effects.h"
#include "engine/effects_avx2.h"

namespace vz {

void applySmear(const FrameSettings&, uint8_t* pixels, int width, int height) {
  // The walk reads up to four pixels past each run; below three rows or columns it would
  // leave the frame, so such frames stay as they are.
  if (width < 3 || height < 3) return;
  const std::ptrdiff_t runBytes = static_cast<std::ptrdiff_t>(width - 2) * 3;
  const std::ptrdiff_t stride = static_cast<std::ptrdiff_t>(width - 1) * 3;
  const bool avx2 = useAvx2();
  for (int j = 0; j < height; ++j) {
    uint8_t* q = pixels + j * stride;
    const std::ptrdiff_t done = avx2 ? smearRunAvx2(q, runBytes) : 0;
    // Byte k takes the mean of the same channel in the four following pixels, all still
    // unwritten since the walk moves forward.
    for (std::ptrdiff_t k = done; k < runBytes; ++k)
      q[k] = static_cast<uint8_t>((q[k + 3] + q[k + 6] + q[k + 9] + q[k + 12]) >> 2);
  }
}

}  // namespace vz
