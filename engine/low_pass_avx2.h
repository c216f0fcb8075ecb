// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/low_pass_divide.h"

namespace vz {

// AVX2 passes of the low-pass filter over rows of rowBytes bytes. Byte j of a row divides by
// d[j % 3] (the three equal for a single-byte plane). Only when useAvx2().
// channels: 3 for packed pixels (three sums per row), 1 for a plane (one sum per row).
// Rows read from `from` and written to `to`, which may be `from`.
void lowPassRowsAvx2(const uint8_t* from, uint8_t* to, std::ptrdiff_t rowBytes, int height,
                     const DivideBy (&d)[3], int channels);
// The row pass over `span` bytes (whole pixels) of up to 16 rows, from sums[channel][row]
// (running sums, zero at a row's start) and leaving them there.
void lowPassRowSpanAvx2(uint8_t* p, std::ptrdiff_t stride, std::ptrdiff_t span, int rows,
                        const DivideBy (&d)[3], uint16_t (&sums)[3][16]);
// The column pass over the first `bytes` bytes of each row (a multiple of 3 for pixels).
void lowPassColumnsAvx2(uint8_t* p, std::ptrdiff_t rowBytes, std::ptrdiff_t bytes, int height,
                        const DivideBy (&d)[3]);
// The column pass over `rows` more rows, carrying on from sums (one per byte column,
// starting at d[j % 3].bias).
void lowPassColumnBandAvx2(uint8_t* p, std::ptrdiff_t rowBytes, std::ptrdiff_t bytes, int rows,
                           const DivideBy (&d)[3], uint16_t* sums);

}  // namespace vz
