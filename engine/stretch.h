#pragma once

#include <cstddef>
#include <cstdint>

namespace vz {

// Draws a whole bottom-up frame of packed 3-byte pixels into a top-down destination of any
// size by nearest pixel: rows and columns are dropped or repeated, never blended.
// Destination pixel (x, y) shows picture pixel (x * srcW / dstW, y * srcH / dstH) counted
// from the top left. The destination keeps the source's byte order.
void stretchNearest(const uint8_t* src, int srcWidth, int srcHeight, uint8_t* dst, int dstWidth,
                    int dstHeight, std::ptrdiff_t dstStride);

}  // namespace vz
