// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>

namespace vz::stream {

// Writers for pictures far larger than the caches (a projector's), which nothing here reads
// back: their stores go around the caches, where ordinary ones would first fetch every
// destination line only to overwrite it, doubling the memory traffic. x86-64 only; call
// fence() once the picture is written, before anyone is told it is ready.

// True where the writers below exist.
bool available();

// Copies `width` finished pixels to a destination row.
void copyRow(uint32_t* out, const uint32_t* in, int width);

// Destination pixels [col, col + width) of `rows` rows, `strideBytes` apart from `out` (the
// first row's pixel `col`), at the same or twice the width (`scale` 1 or 2) of the bottom-up
// source row `in` of `rowBytes` bytes of (blue, green, red): pixel x shows source pixel
// x / scale, as 0xffRRGGBB. Each 16 bytes of the source are loaded once for every row.
void scaledRows(const uint8_t* in, std::ptrdiff_t rowBytes, int scale, int col, int width,
                uint32_t* out, std::ptrdiff_t strideBytes, int rows);

void fence();

}  // namespace vz::stream
