// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace vz::test {

// The preview's stretch as it first shipped: nearest pixel, upright, into a 24-bit top-down
// image of the frame's byte order. Faster stretches are held to it pixel for pixel.
inline void referenceStretch(const uint8_t* src, int srcWidth, int srcHeight, uint8_t* dst,
                             int dstWidth, int dstHeight, std::ptrdiff_t dstStride) {
  if (srcWidth <= 0 || srcHeight <= 0 || dstWidth <= 0 || dstHeight <= 0) return;
  const std::ptrdiff_t srcRowBytes = static_cast<std::ptrdiff_t>(srcWidth) * 3;
  const uint8_t* previousSource = nullptr;
  for (int y = 0; y < dstHeight; ++y) {
    uint8_t* out = dst + y * dstStride;
    const int fromTop = static_cast<int>(static_cast<int64_t>(y) * srcHeight / dstHeight);
    const uint8_t* in = src + (srcHeight - 1 - fromTop) * srcRowBytes;
    if (in == previousSource) {
      std::memcpy(out, out - dstStride, static_cast<size_t>(dstWidth) * 3);
      continue;
    }
    previousSource = in;
    for (int x = 0; x < dstWidth; ++x) {
      const uint8_t* p = in + 3 * (static_cast<int64_t>(x) * srcWidth / dstWidth);
      out[3 * x] = p[0];
      out[3 * x + 1] = p[1];
      out[3 * x + 2] = p[2];
    }
  }
}

}  // namespace vz::test
