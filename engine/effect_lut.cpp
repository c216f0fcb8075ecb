// SPDX-License-Identifier: GPL-3.0-or-later
#include <algorithm>
#include <cstddef>

#include "engine/cpu_dispatch.h"
#include "engine/effects.h"
#include "engine/effects_avx2.h"
#include "engine/low_pass.h"

namespace vz {

namespace {

// Brightness to palette entry: floor, output scale with clamp, invert, level mask.
// Bright pixels take low entries. The final & 15 changes nothing for brightness in 0..255
// and keeps any field value from indexing outside the palette.
struct LutIndex {
  int floor, output, invert, mask;
  explicit LutIndex(const FrameSettings& s)
      : floor(s.floor), output(s.outputRed), invert(s.invertRed == 1), mask(s.lutMask) {}
  int operator()(int y) const {
    if (y < floor) y = 0;
    y = std::min(y * output / 32, 255);
    if (invert) y = 255 - y;
    return 15 - ((y >> 4) & mask & 15);
  }
};

}  // namespace

void lutPixels(const FrameSettings& s, const uint8_t* from, uint8_t* to, std::ptrdiff_t count) {
  const LutIndex index(s);
  uint8_t entry[3][kPaletteSize];  // the stored bytes: low 8 bits of each palette value
  for (int c = 0; c < 3; ++c)
    for (int k = 0; k < kPaletteSize; ++k) entry[c][k] = static_cast<uint8_t>(s.palette[c][k]);

  const std::ptrdiff_t done =
      useAvx2() && lutFitsAvx2(s) ? lutPixelsAvx2(s, entry, from, to, count) : 0;
  for (std::ptrdiff_t i = done; i < count; ++i) {
    const uint8_t* p = from + 3 * i;
    uint8_t* q = to + 3 * i;
    const int k = index((p[0] + p[1] + p[2]) / 3);
    q[0] = entry[kBlue][k];
    q[1] = entry[kGreen][k];
    q[2] = entry[kRed][k];
  }
}

void applyLut(const FrameSettings& s, uint8_t* pixels, int width, int height) {
  lutPixels(s, pixels, pixels, static_cast<std::ptrdiff_t>(width) * height);
}

void lut2Grey(const uint8_t* pixels, uint8_t* plane, std::ptrdiff_t count) {
  // Only the grey value survives to the last step, which rewrites all three bytes of every
  // pixel; so the grey can be packed into a plane at the front of the buffer (in place: byte
  // i is written after pixel i, at 3i, was read), filtered there, and expanded backwards.
  for (std::ptrdiff_t i = useAvx2() ? greyPlaneAvx2(pixels, plane, count) : 0; i < count; ++i) {
    const uint8_t* p = pixels + 3 * i;
    plane[i] = static_cast<uint8_t>((p[0] + p[1] + p[2]) / 3);
  }
}

void lut2Filter(const FrameSettings& s, uint8_t* plane, int width, int height) {
  if (s.lowPass[kRed] != 0 && s.lowPass[kGreen] != 0 && s.lowPass[kBlue] != 0)
    lowPassPlane(plane, width, height, s.lowPass[kRed]);
}

Lut2Expand::Lut2Expand(const FrameSettings& s) : s_(s), avx2_(useAvx2() && lutFitsAvx2(s)) {
  // Saturation depends only on the entry, so it is worked out once for each of the sixteen.
  const int amount = s.colorAmount, rest = 100 - s.colorAmount;
  for (int k = 0; k < kPaletteSize; ++k) {
    const int m = (s.palette[kRed][k] + s.palette[kGreen][k] + s.palette[kBlue][k]) / 3;
    for (int c = 0; c < 3; ++c)
      entry_[c][k] = static_cast<uint8_t>((s.palette[c][k] * amount + m * rest) / 100);
  }
}

void Lut2Expand::expand(const uint8_t* plane, uint8_t* pixels, std::ptrdiff_t count) const {
  // The pixels past the last whole vector block go first, since the walk is backwards.
  const std::ptrdiff_t blocks = avx2_ ? count / 32 * 32 : 0;
  const LutIndex index(s_);
  for (std::ptrdiff_t i = count - 1; i >= blocks; --i) {
    const int k = index(plane[i]);
    uint8_t* p = pixels + 3 * i;
    p[0] = entry_[kBlue][k];
    p[1] = entry_[kGreen][k];
    p[2] = entry_[kRed][k];
  }
  if (blocks > 0) lutExpandAvx2(s_, entry_, plane, pixels, blocks);
}

void applyLut2(const FrameSettings& s, uint8_t* pixels, int width, int height) {
  const std::ptrdiff_t count = static_cast<std::ptrdiff_t>(width) * height;
  lut2Grey(pixels, pixels, count);
  lut2Filter(s, pixels, width, height);
  Lut2Expand(s).expand(pixels, pixels, count);
}

}  // namespace vz
