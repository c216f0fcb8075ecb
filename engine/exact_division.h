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
// floor(v / 12) for v in 0..65535: a quarter, then a third.
constexpr uint32_t divide12(uint32_t v) {
  return divide3(v >> 2);
}
// floor(v / 100) for v in 0..174759: a quarter, then floor(x / 25) for x below 43690.
constexpr uint32_t divide100(uint32_t v) {
  return (((v >> 2) * 41944u) >> 16) >> 4;
}

}  // namespace vz
