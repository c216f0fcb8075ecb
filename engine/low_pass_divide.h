// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

namespace vz {

// floor(s / n) for a low-pass running sum s in 0..255*n, in 16-bit arithmetic:
// ((s + bias) * mul) >> (16 + shift), every operand below 2^16. Rounding the reciprocal up
// is exact when its error times the largest sum stays under 2^(16+shift); otherwise rounding
// it down and adding one to s is. Powers of two and n = 1 take their own exact forms. The
// low-pass tests check every n and every s against plain division.
struct DivideBy {
  uint16_t bias, mul, shift;
};

constexpr DivideBy divideBy(int32_t n) {
  if (n <= 1) return {1, 65535, 0};
  int log2 = 0;
  while ((2 << log2) <= n) ++log2;
  if ((n & (n - 1)) == 0) return {0, 32768, static_cast<uint16_t>(log2 - 1)};
  const uint64_t k = uint64_t{1} << (16 + log2);
  const uint64_t up = (k + n - 1) / n;
  if ((up * n - k) * 255 * n < k)
    return {0, static_cast<uint16_t>(up), static_cast<uint16_t>(log2)};
  return {1, static_cast<uint16_t>(k / n), static_cast<uint16_t>(log2)};
}

// The same arithmetic on one value, as the vector code does it.
constexpr uint32_t divideSum(uint32_t s, DivideBy d) {
  return (((s + d.bias) * d.mul) >> 16) >> d.shift;
}

}  // namespace vz
