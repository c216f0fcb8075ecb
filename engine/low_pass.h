// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/low_pass_divide.h"

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

// lowPassFilter on all three channels in its two passes, fed a band of rows at a time, so
// a frame goes through the filter (and what follows it) while each band is still in cache,
// and threads can share it: every row's sums are its own, and every column's. Only when
// lowPassTakesAll.
bool lowPassTakesAll(const int32_t divisor[3]);
inline constexpr int kLowPassBand = 16;  // rows: the vector row pass's strip
// The row pass, read from `from` and written to `to` (the same rows, or others of the size).
void lowPassRows(const uint8_t* from, uint8_t* to, int width, int rows, const int32_t divisor[3]);
inline void lowPassRows(uint8_t* pixels, int width, int rows, const int32_t divisor[3]) {
  lowPassRows(pixels, pixels, width, rows, divisor);
}
// The row pass over the pixel columns [firstColumn, endColumn) of `rows` rows (at most
// kLowPassBand) of a band, carrying each row's running sums in sums[channel][row] (zero at
// column 0): the sums one part leaves at its last column start the next part, so two threads
// can share rows. The same bytes as lowPassRows on whole rows.
void lowPassRowSpan(uint8_t* bandStart, std::ptrdiff_t rowBytes, int firstColumn, int endColumn,
                    int rows, const int32_t divisor[3], uint16_t (&sums)[3][kLowPassBand]);
// The column pass over the pixel columns [firstColumn, endColumn), band after band.
class LowPassColumns {
 public:
  LowPassColumns(const int32_t divisor[3], int firstColumn, int endColumn);
  // The next `rows` rows, from the band's first row (its column 0); each after its row pass.
  void band(uint8_t* bandStart, std::ptrdiff_t rowBytes, int rows);

 private:
  std::ptrdiff_t offset_, bytes_;
  bool avx2_;
  DivideBy d_[3];
  uint32_t pattern_[48];
  std::vector<uint16_t> sums16_;
  std::vector<uint32_t> sums32_;
};

// The same filter on a packed single-byte plane (one byte per pixel).
void lowPassPlane(uint8_t* plane, int width, int height, int32_t divisor);

}  // namespace vz
