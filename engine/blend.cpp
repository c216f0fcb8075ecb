// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/blend.h"

#include <algorithm>
#include <cstring>

#include "engine/cpu_dispatch.h"

namespace vz {

namespace {

// floor(v / n) for v < 2^24 and n < 2^16 as one multiply: (v * m) >> 40 with
// m = floor(2^40 / n) + 1 errs by less than v * n / 2^40 < 1/n, which never reaches the
// next multiple of n.
void blendRowPortable(const uint8_t* old, uint8_t* into, std::ptrdiff_t bytes, int j, int n) {
  const uint32_t a = static_cast<uint32_t>(n - 1 - j), b = static_cast<uint32_t>(j + 1);
  const uint32_t half = static_cast<uint32_t>(n / 2);
  const uint64_t m = (uint64_t{1} << 40) / static_cast<uint64_t>(n) + 1;
  for (std::ptrdiff_t i = 0; i < bytes; ++i) {
    const uint64_t v = old[i] * a + into[i] * b + half;
    into[i] = static_cast<uint8_t>((v * m) >> 40);
  }
}

}  // namespace

void blendFade(const uint8_t* old, std::ptrdiff_t oldStride, uint8_t* into,
               std::ptrdiff_t intoStride, std::ptrdiff_t rowBytes, int rows, int j, int n) {
  if (old == nullptr || into == nullptr || rowBytes <= 0 || rows <= 0) return;
  n = std::clamp(n, 1, kMaxFadeFrames);
  j = std::clamp(j, 0, n - 1);
  const bool vector = n <= 256 && useAvx2();
  // One run over the whole frame where both are packed alike.
  if (oldStride == rowBytes && intoStride == rowBytes) {
    rowBytes *= rows;
    rows = 1;
  }
  for (int y = 0; y < rows; ++y) {
    const uint8_t* o = old + y * oldStride;
    uint8_t* t = into + y * intoStride;
    const std::ptrdiff_t done = vector ? blend_detail::blendRowAvx2(o, t, rowBytes, j, n) : 0;
    blendRowPortable(o + done, t + done, rowBytes - done, j, n);
  }
}

void blendFadeOver(const uint8_t* in, std::ptrdiff_t inStride, uint8_t* into,
                   std::ptrdiff_t intoStride, std::ptrdiff_t rowBytes, int rows, int j, int n) {
  if (in == nullptr || into == nullptr || rowBytes <= 0 || rows <= 0) return;
  n = std::clamp(n, 1, kMaxFadeFrames);
  j = std::clamp(j, 0, n - 1);
  if (j == n - 1) {  // the weight of the look fading out is 0: the look fading in alone
    for (int y = 0; y < rows; ++y)
      std::memcpy(into + y * intoStride, in + y * inStride, static_cast<std::size_t>(rowBytes));
    return;
  }
  // Frame n - 2 - j weighs the first buffer by j + 1 and the second by n - 1 - j: the very
  // sum, and so the very bytes, of frame j with the buffers the other way round.
  blendFade(in, inStride, into, intoStride, rowBytes, rows, n - 2 - j, n);
}

}  // namespace vz
