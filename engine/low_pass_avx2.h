#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/low_pass_divide.h"

namespace vz {

// AVX2 passes of the low-pass filter over rows of rowBytes bytes. Byte j of a row divides by
// d[j % 3] (the three equal for a single-byte plane). Only when useAvx2().
// channels: 3 for packed pixels (three sums per row), 1 for a plane (one sum per row).
void lowPassRowsAvx2(uint8_t* p, std::ptrdiff_t rowBytes, int height, const DivideBy (&d)[3],
                     int channels);
// The column pass over the first `bytes` bytes of each row (a multiple of 3 for pixels).
void lowPassColumnsAvx2(uint8_t* p, std::ptrdiff_t rowBytes, std::ptrdiff_t bytes, int height,
                        const DivideBy (&d)[3]);
// The column pass over `rows` more rows, carrying on from sums (one per byte column,
// starting at d[j % 3].bias).
void lowPassColumnBandAvx2(uint8_t* p, std::ptrdiff_t rowBytes, std::ptrdiff_t bytes, int rows,
                           const DivideBy (&d)[3], uint16_t* sums);

}  // namespace vz
