// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

namespace vz {

// Division by the kernels' small constants as a 16-bit high multiply and a shift, the way
// the vector code does it. Each is exact over the stated range (checked exhaustively in the
// tests); the ranges cover every value the kernels can form.

// floor(v / 3) for v in 0..65535.
constexpr uint32_t divide3(uint32_t v) {
  return ((v * 0xAAABu) >> 16) >> 1;
}
// floor(v / 12) for v in 0..65535 (the reciprocal's error, 4 / 2^19, stays below 1/12 of
// a unit up to 2^17).
constexpr uint32_t divide12(uint32_t v) {
  return ((v * 43691u) >> 16) >> 3;
}
// floor(v / 100) for v in 0..43689, one multiply.
constexpr uint32_t divide100Small(uint32_t v) {
  return ((v * 41944u) >> 16) >> 6;
}
// floor(v / 100) for v in 0..174759: a quarter, then floor(x / 25) for x below 43690.
constexpr uint32_t divide100(uint32_t v) {
  return (((v >> 2) * 41944u) >> 16) >> 4;
}

}  // namespace vz
