// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/low_pass.h"

#include <algorithm>
#include <cstddef>

#include "engine/cpu_dispatch.h"
#include "engine/low_pass_avx2.h"

namespace vz {

namespace {

// s / n as (s * m) >> 24 with m = ceil(2^24 / n): exact for every n in 1..255 and every
// s <= 255 * n (the running sum never exceeds that), and s * m stays below 2^32.
inline uint32_t reciprocal(int32_t n) {
  return ((1u << 24) + static_cast<uint32_t>(n) - 1) / n;
}
inline uint32_t divide(uint32_t s, uint32_t m) {
  return (s * m) >> 24;
}

bool validDivisor(int32_t n) {
  return n >= 1 && n <= 255;
}

// Row pass over `rows` rows at once for instruction-level parallelism: each row's walk is a
// serial chain, so several independent chains keep the multiplier busy. Carries on from the
// sums s (zero at a row's start) and leaves them there. Reads `from`, writes `to` (which may
// be `from`).
template <int Rows, int Lanes>
inline void rowPassBlock(const uint8_t* from, uint8_t* to, std::ptrdiff_t rowBytes, int width,
                         const uint32_t* mul, uint32_t (&s)[Rows][Lanes]) {
  uint32_t m[Lanes];
  for (int c = 0; c < Lanes; ++c) m[c] = mul[c];
  for (int x = 0; x < width; ++x) {
    const std::ptrdiff_t at = static_cast<std::ptrdiff_t>(x) * Lanes;
    for (int r = 0; r < Rows; ++r) {
      for (int c = 0; c < Lanes; ++c) {
        const uint32_t in = from[at + r * rowBytes + c];
        const uint32_t out = divide(s[r][c], m[c]);
        to[at + r * rowBytes + c] = static_cast<uint8_t>(out);
        s[r][c] += in - out;
      }
    }
  }
}

template <int Rows, int Lanes>
inline void rowPassBlock(const uint8_t* from, uint8_t* to, std::ptrdiff_t rowBytes, int width,
                         const uint32_t* mul) {
  uint32_t s[Rows][Lanes] = {};
  rowPassBlock<Rows, Lanes>(from, to, rowBytes, width, mul, s);
}

template <int Lanes>
void rowPass(const uint8_t* from, uint8_t* to, int width, int height, const uint32_t* mul) {
  const std::ptrdiff_t rowBytes = static_cast<std::ptrdiff_t>(width) * Lanes;
  constexpr int kRows = Lanes == 1 ? 8 : 4;
  int y = 0;
  for (; y + kRows <= height; y += kRows)
    rowPassBlock<kRows, Lanes>(from + y * rowBytes, to + y * rowBytes, rowBytes, width, mul);
  for (; y < height; ++y)
    rowPassBlock<1, Lanes>(from + y * rowBytes, to + y * rowBytes, rowBytes, width, mul);
}

// rowPass over `width` pixels of rows y..y+Rows-1 from p, carrying sums[channel][row].
template <int Rows>
void rowSpanBlock(uint8_t* p, std::ptrdiff_t rowBytes, int width, int y, const uint32_t* mul,
                  uint16_t (&sums)[3][kLowPassBand]) {
  uint32_t s[Rows][3];
  for (int r = 0; r < Rows; ++r)
    for (int c = 0; c < 3; ++c) s[r][c] = sums[c][y + r];
  rowPassBlock<Rows, 3>(p + y * rowBytes, p + y * rowBytes, rowBytes, width, mul, s);
  for (int r = 0; r < Rows; ++r)
    for (int c = 0; c < 3; ++c) sums[c][y + r] = static_cast<uint16_t>(s[r][c]);
}

// Column pass walked row-major over a strip of columns at once: every byte lane of the
// strip carries its own sum, so the inner loop runs straight along memory and vectorises.
// The multiplier repeats every 48 lanes (a whole number of pixels and of vector widths).
constexpr int kPattern = 48;
constexpr int kStripBytes = kPattern * 32;

// `rows` more rows of the column pass, carrying on from sums (one per byte column).
void columnBand(uint8_t* p, std::ptrdiff_t rowBytes, std::ptrdiff_t bytes, int rows,
                const uint32_t (&mul)[kPattern], uint32_t* stripSums) {
  for (std::ptrdiff_t x0 = 0; x0 < bytes; x0 += kStripBytes) {
    const int n = static_cast<int>(std::min<std::ptrdiff_t>(kStripBytes, bytes - x0));
    const int whole = n - n % kPattern;
    uint32_t* sums = stripSums + x0;
    uint8_t* row = p + x0;
    for (int y = 0; y < rows; ++y, row += rowBytes) {
      for (int j0 = 0; j0 < whole; j0 += kPattern) {
        uint8_t* q = row + j0;
        uint32_t* s = sums + j0;
        for (int k = 0; k < kPattern; ++k) {
          const uint32_t in = q[k];
          const uint32_t out = divide(s[k], mul[k]);
          q[k] = static_cast<uint8_t>(out);
          s[k] += in - out;
        }
      }
      for (int j = whole; j < n; ++j) {
        const uint32_t in = row[j];
        const uint32_t out = divide(sums[j], mul[j % kPattern]);
        row[j] = static_cast<uint8_t>(out);
        sums[j] += in - out;
      }
    }
  }
}

void columnPass(uint8_t* p, std::ptrdiff_t bytes, int height, const uint32_t (&mul)[kPattern]) {
  uint32_t sums[kStripBytes];
  for (std::ptrdiff_t x0 = 0; x0 < bytes; x0 += kStripBytes) {
    const int n = static_cast<int>(std::min<std::ptrdiff_t>(kStripBytes, bytes - x0));
    std::fill_n(sums, n, 0u);
    columnBand(p + x0, bytes, n, height, mul, sums);
  }
}

// One channel of an interleaved frame, for the rare partial selections.
void filterOneChannel(uint8_t* p, int width, int height, int channel, uint32_t m) {
  const std::ptrdiff_t rowBytes = static_cast<std::ptrdiff_t>(width) * 3;
  for (int y = 0; y < height; ++y) {
    uint8_t* q = p + y * rowBytes + channel;
    uint32_t s = 0;
    for (int x = 0; x < width; ++x, q += 3) {
      const uint32_t in = *q, out = divide(s, m);
      *q = static_cast<uint8_t>(out);
      s += in - out;
    }
  }
  for (int x = 0; x < width; ++x) {
    uint8_t* q = p + 3 * x + channel;
    uint32_t s = 0;
    for (int y = 0; y < height; ++y, q += rowBytes) {
      const uint32_t in = *q, out = divide(s, m);
      *q = static_cast<uint8_t>(out);
      s += in - out;
    }
  }
}

}  // namespace

bool lowPassTakesAll(const int32_t divisor[3]) {
  return validDivisor(divisor[0]) && validDivisor(divisor[1]) && validDivisor(divisor[2]);
}

void lowPassRows(const uint8_t* from, uint8_t* to, int width, int rows, const int32_t divisor[3]) {
  if (width <= 0 || rows <= 0) return;
  if (useAvx2()) {
    const DivideBy d[3] = {divideBy(divisor[0]), divideBy(divisor[1]), divideBy(divisor[2])};
    lowPassRowsAvx2(from, to, static_cast<std::ptrdiff_t>(width) * 3, rows, d, 3);
    return;
  }
  const uint32_t m3[3] = {reciprocal(divisor[0]), reciprocal(divisor[1]), reciprocal(divisor[2])};
  rowPass<3>(from, to, width, rows, m3);
}

void lowPassRowSpan(uint8_t* bandStart, std::ptrdiff_t rowBytes, int firstColumn, int endColumn,
                    int rows, const int32_t divisor[3], uint16_t (&sums)[3][kLowPassBand]) {
  if (endColumn <= firstColumn || rows <= 0) return;
  uint8_t* p = bandStart + static_cast<std::ptrdiff_t>(firstColumn) * 3;
  static_assert(kLowPassBand == 16, "a band is one strip of the vector row pass");
  if (useAvx2()) {
    const DivideBy d[3] = {divideBy(divisor[0]), divideBy(divisor[1]), divideBy(divisor[2])};
    lowPassRowSpanAvx2(p, rowBytes, static_cast<std::ptrdiff_t>(endColumn - firstColumn) * 3, rows,
                       d, sums);
    return;
  }
  const uint32_t m3[3] = {reciprocal(divisor[0]), reciprocal(divisor[1]), reciprocal(divisor[2])};
  const int width = endColumn - firstColumn;
  int y = 0;
  for (; y + 4 <= rows; y += 4) rowSpanBlock<4>(p, rowBytes, width, y, m3, sums);
  for (; y < rows; ++y) rowSpanBlock<1>(p, rowBytes, width, y, m3, sums);
}

LowPassColumns::LowPassColumns(const int32_t divisor[3], int firstColumn, int endColumn)
    : offset_(static_cast<std::ptrdiff_t>(firstColumn) * 3),
      bytes_(static_cast<std::ptrdiff_t>(std::max(endColumn - firstColumn, 0)) * 3),
      avx2_(useAvx2()) {
  for (int c = 0; c < 3; ++c) d_[c] = divideBy(divisor[c]);
  if (avx2_) {
    sums16_.resize(bytes_);
    for (std::ptrdiff_t j = 0; j < bytes_; ++j) sums16_[j] = d_[j % 3].bias;
  } else {
    for (int k = 0; k < kPattern; ++k) pattern_[k] = reciprocal(divisor[k % 3]);
    sums32_.assign(bytes_, 0u);
  }
}

void LowPassColumns::band(uint8_t* bandStart, std::ptrdiff_t rowBytes, int rows) {
  if (rows <= 0 || bytes_ == 0) return;
  if (avx2_)
    lowPassColumnBandAvx2(bandStart + offset_, rowBytes, bytes_, rows, d_, sums16_.data());
  else
    columnBand(bandStart + offset_, rowBytes, bytes_, rows, pattern_, sums32_.data());
}

void lowPassFilter(uint8_t* pixels, int width, int height, unsigned channels,
                   const int32_t divisor[3]) {
  if (width <= 0 || height <= 0) return;
  unsigned live = 0;
  for (int c = 0; c < 3; ++c)
    if ((channels & (1u << c)) && validDivisor(divisor[c])) live |= 1u << c;
  if (live == kFilterAll) {
    // Band by band, so the column pass finds each band still in cache from its row pass.
    const std::ptrdiff_t rowBytes = static_cast<std::ptrdiff_t>(width) * 3;
    LowPassColumns columns(divisor, 0, width);
    for (int y = 0; y < height; y += kLowPassBand) {
      const int rows = std::min(kLowPassBand, height - y);
      lowPassRows(pixels + y * rowBytes, width, rows, divisor);
      columns.band(pixels + y * rowBytes, rowBytes, rows);
    }
    return;
  }
  for (int c = 0; c < 3; ++c)
    if (live & (1u << c)) filterOneChannel(pixels, width, height, c, reciprocal(divisor[c]));
}

void lowPassPlane(uint8_t* plane, int width, int height, int32_t divisor) {
  if (width <= 0 || height <= 0 || !validDivisor(divisor)) return;
  if (useAvx2()) {
    const DivideBy d = divideBy(divisor);
    const DivideBy d3[3] = {d, d, d};
    lowPassRowsAvx2(plane, plane, width, height, d3, 1);
    lowPassColumnsAvx2(plane, width, width, height, d3);
    return;
  }
  const uint32_t m = reciprocal(divisor);
  uint32_t pattern[kPattern];
  std::fill_n(pattern, kPattern, m);
  rowPass<1>(plane, plane, width, height, &m);
  columnPass(plane, width, height, pattern);
}

}  // namespace vz
