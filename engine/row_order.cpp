// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/row_order.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "engine/effect_mode.h"

namespace vz {

bool isRowLocal(const FrameSettings& s) {
  const bool lowPassOn = s.lowPass[kRed] != 0 && s.lowPass[kGreen] != 0 && s.lowPass[kBlue] != 0;
  switch (static_cast<EffectMode>(s.mode)) {
    case EffectMode::Overflow:
    case EffectMode::Lut2:
      return !lowPassOn;
    case EffectMode::Smear:
      return false;
    default:
      return true;
  }
}

void packRowsBottomUp(const uint8_t* src, int stride, uint8_t* dst, int rowBytes, int height) {
  for (int y = 0; y < height; ++y)
    std::memcpy(dst + static_cast<size_t>(height - 1 - y) * rowBytes,
                src + static_cast<size_t>(y) * stride, rowBytes);
}

void unpackRowsBottomUp(const uint8_t* bottomUp, int rowBytes, uint8_t* dst, int stride,
                        int height) {
  for (int y = 0; y < height; ++y)
    std::memcpy(dst + static_cast<size_t>(y) * stride,
                bottomUp + static_cast<size_t>(height - 1 - y) * rowBytes, rowBytes);
}

void flipRowsInPlace(uint8_t* pixels, int rowBytes, int height) {
  // Swap through a small row buffer so the frame is read and written once.
  constexpr size_t kChunk = 4096;
  uint8_t tmp[kChunk];
  for (int top = 0, bottom = height - 1; top < bottom; ++top, --bottom) {
    uint8_t* a = pixels + static_cast<size_t>(top) * rowBytes;
    uint8_t* b = pixels + static_cast<size_t>(bottom) * rowBytes;
    for (size_t off = 0; off < static_cast<size_t>(rowBytes); off += kChunk) {
      const size_t n = std::min(kChunk, static_cast<size_t>(rowBytes) - off);
      std::memcpy(tmp, a + off, n);
      std::memcpy(a + off, b + off, n);
      std::memcpy(b + off, tmp, n);
    }
  }
}

}  // namespace vz
