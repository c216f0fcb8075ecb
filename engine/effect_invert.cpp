// SPDX-License-Identifier: GPL-3.0-or-later
#include <cstddef>

#include "engine/effects.h"

namespace vz {

namespace {

// XOR with a three-byte pattern; 48 bytes is a whole number of pixels and of vectors.
void xorPattern(uint8_t* bytes, std::ptrdiff_t size, const uint8_t (&pixel)[3]) {
  uint8_t pattern[48];
  for (int k = 0; k < 48; ++k) pattern[k] = pixel[k % 3];
  std::ptrdiff_t i = 0;
  for (; i + 48 <= size; i += 48)
    for (int k = 0; k < 48; ++k) bytes[i + k] ^= pattern[k];
  for (; i < size; ++i) bytes[i] ^= pattern[i % 48];
}

}  // namespace

void applyColorInvert(const FrameSettings& s, uint8_t* pixels, int width, int height) {
  const std::ptrdiff_t size = static_cast<std::ptrdiff_t>(width) * height * 3;
  const uint8_t flip[3] = {s.invertXor[0], s.invertXor[1], s.invertXor[2]};
  if ((flip[0] | flip[1] | flip[2]) == 0) return;
  xorPattern(pixels, size, flip);
}

void applyNegative(const FrameSettings&, uint8_t* pixels, int width, int height) {
  const std::ptrdiff_t size = static_cast<std::ptrdiff_t>(width) * height * 3;
  for (std::ptrdiff_t i = 0; i < size; ++i) pixels[i] ^= 255;
}

}  // namespace vz
