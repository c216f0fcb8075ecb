#pragma once

#include <cstdint>

namespace vz {

// Channel selection for lowPassFilter, by byte position in the pixel.
inline constexpr unsigned kFilterBlue = 1u << 0;
inline constexpr unsigned kFilterGreen = 1u << 1;
inline constexpr unsigned kFilterRed = 1u << 2;
inline constexpr unsigned kFilterAll = kFilterBlue | kFilterGreen | kFilterRed;

// Running-sum smoothing of the selected channels of a packed 3-byte frame, in place: a
// row pass (out = s / N; s = s - out + in), then a column pass, sums reset for each row and
// column. divisor[] is indexed by byte position (blue, green, red); a channel whose divisor
// is not in 1..255 is left as it is.
void lowPassFilter(uint8_t* pixels, int width, int height, unsigned channels,
                   const int32_t divisor[3]);

// lowPassFilter on all three channels in its two passes, for sharing a frame between
// threads: every row's sums are its own, and every column's. Only when lowPassTakesAll.
bool lowPassTakesAll(const int32_t divisor[3]);
void lowPassRows(uint8_t* pixels, int width, int rows, const int32_t divisor[3]);
// The column pass over the pixel columns [firstColumn, endColumn) of a frame `width` wide.
void lowPassColumns(uint8_t* pixels, int width, int height, int firstColumn, int endColumn,
                    const int32_t divisor[3]);

// The same filter on a packed single-byte plane (one byte per pixel).
void lowPassPlane(uint8_t* plane, int width, int height, int32_t divisor);

}  // namespace vz
