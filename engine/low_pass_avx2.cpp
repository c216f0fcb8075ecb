// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/low_pass_avx2.h"

#include <algorithm>

#include "engine/simd_avx2.h"

namespace vz {

namespace {

// Lambdas take no target from their enclosing function.
#define VZ_AVX2_INLINE_LAMBDA __attribute__((target("avx2"), always_inline))

// Rows walked together by the row pass: sixteen 16-bit sums fill one vector per channel.
constexpr int kStripRows = 16;
// Bytes of one unrolled step of the row pass: three 32-byte chunks, a whole number of pixels.
constexpr int kRowUnit = 96;

inline void step(uint16_t& u, uint8_t in, uint8_t& to, DivideBy d) {
  const uint16_t out = static_cast<uint16_t>((((uint32_t{u} * d.mul) >> 16) >> d.shift));
  u = static_cast<uint16_t>(u - out + in);
  to = static_cast<uint8_t>(out);
}

inline void step(uint16_t& u, uint8_t& byte, DivideBy d) {
  step(u, byte, byte, d);
}

// Sixteen in-lane 16x16 byte transposes: row r (from in(r)) becomes column r (to out(r, v)).
// In two halves of two unpack stages each, every group of four working on four vectors, so
// the sixteen intermediates go through memory once rather than spilling at random.
template <class In, class Out>
VZ_AVX2_INLINE void transpose(const In& in, const Out& out) {
  __m256i b[16];
  for (int q = 0; q < 4; ++q) {
    const __m256i x0 = in(4 * q), x1 = in(4 * q + 1), x2 = in(4 * q + 2), x3 = in(4 * q + 3);
    const __m256i a0 = _mm256_unpacklo_epi8(x0, x1), a1 = _mm256_unpackhi_epi8(x0, x1);
    const __m256i a2 = _mm256_unpacklo_epi8(x2, x3), a3 = _mm256_unpackhi_epi8(x2, x3);
    b[4 * q + 0] = _mm256_unpacklo_epi16(a0, a2);
    b[4 * q + 1] = _mm256_unpackhi_epi16(a0, a2);
    b[4 * q + 2] = _mm256_unpacklo_epi16(a1, a3);
    b[4 * q + 3] = _mm256_unpackhi_epi16(a1, a3);
  }
  for (int k = 0; k < 4; ++k) {
    const __m256i lo0 = _mm256_unpacklo_epi32(b[k], b[4 + k]);
    const __m256i hi0 = _mm256_unpackhi_epi32(b[k], b[4 + k]);
    const __m256i lo1 = _mm256_unpacklo_epi32(b[8 + k], b[12 + k]);
    const __m256i hi1 = _mm256_unpackhi_epi32(b[8 + k], b[12 + k]);
    out(4 * k + 0, _mm256_unpacklo_epi64(lo0, lo1));
    out(4 * k + 1, _mm256_unpackhi_epi64(lo0, lo1));
    out(4 * k + 2, _mm256_unpacklo_epi64(hi0, hi1));
    out(4 * k + 3, _mm256_unpackhi_epi64(hi0, hi1));
  }
}

struct RowDivisors {
  __m256i mul[3];
  __m128i shift[3];
};

// Groups of 16 rows walked side by side. Packed pixels give three chains per row (one per
// channel); a plane has one, so it walks three groups at once to keep as many chains in
// flight.
template <int Channels>
constexpr int kGroups = Channels == 3 ? 1 : 3;

// One 32-byte chunk of each group's rows: transpose so each column is a vector of rows, run
// the serial recurrence along the columns, transpose back. The sum for a column is that of
// its channel (byte position % 3, the chunk starting at byte Offset of the unit) or, in a
// plane, that of its group. Reads from `from` and writes to `to` (which may be `from`).
template <int Channels, int Offset>
VZ_AVX2_INLINE void rowChunk(const uint8_t* from, uint8_t* to, std::ptrdiff_t stride, int rows,
                             const RowDivisors& d, __m256i (&u)[3]) {
  constexpr int kG = kGroups<Channels>;
  alignas(32) uint8_t cols[kG][16][32];   // columns b and 16 + b in each row
  alignas(32) uint16_t outs[kG][32][16];  // the recurrence's outputs, still in 16 bits
  for (int g = 0; g < kG; ++g) {
    const int n = rows - 16 * g;
    const uint8_t* q = from + 16 * g * stride;
    transpose(
        [&](int r) VZ_AVX2_INLINE_LAMBDA {
          return r < n ? _mm256_loadu_si256(reinterpret_cast<const __m256i*>(q + r * stride))
                       : _mm256_setzero_si256();
        },
        [&](int b, __m256i v) VZ_AVX2_INLINE_LAMBDA {
          _mm256_store_si256(reinterpret_cast<__m256i*>(cols[g][b]), v);
        });
  }
#pragma GCC unroll 32
  for (int k = 0; k < 32; ++k) {
#pragma GCC unroll 3
    for (int g = 0; g < kG; ++g) {
      const int c = Channels == 3 ? (Offset + k) % 3 : g;
      const __m256i in = _mm256_cvtepu8_epi16(
          _mm_load_si128(reinterpret_cast<const __m128i*>(&cols[g][k % 16][k / 16 * 16])));
      const __m256i out = _mm256_srl_epi16(_mm256_mulhi_epu16(u[c], d.mul[c]), d.shift[c]);
      u[c] = _mm256_sub_epi16(_mm256_add_epi16(u[c], in), out);  // the add is off the chain
      _mm256_store_si256(reinterpret_cast<__m256i*>(outs[g][k]), out);
    }
  }
  for (int g = 0; g < kG; ++g) {
    const int n = rows - 16 * g;
    uint8_t* q = to + 16 * g * stride;
    transpose(
        [&](int b) VZ_AVX2_INLINE_LAMBDA {
          // Columns b and 16 + b as bytes, rows 0..15 in order in each lane.
          const __m256i packed = _mm256_packus_epi16(
              _mm256_load_si256(reinterpret_cast<const __m256i*>(outs[g][b])),
              _mm256_load_si256(reinterpret_cast<const __m256i*>(outs[g][16 + b])));
          return _mm256_permute4x64_epi64(packed, 0xD8);
        },
        [&](int r, __m256i v) VZ_AVX2_INLINE_LAMBDA {
          if (r < n) _mm256_storeu_si256(reinterpret_cast<__m256i*>(q + r * stride), v);
        });
  }
}

// Up to 16 * kGroups rows, `span` bytes of each (read from `from`, written to `to`), carrying
// on from the sums u (per channel, or per group in a plane; lane r for row r of the group)
// and leaving them there.
template <int Channels>
VZ_AVX2 void rowStrip(const uint8_t* from, uint8_t* to, std::ptrdiff_t stride, std::ptrdiff_t span,
                      int rows, const DivideBy (&d)[3], uint16_t (&sums)[3][kStripRows]) {
  RowDivisors dv;
  __m256i u[3];
  for (int c = 0; c < 3; ++c) {
    dv.mul[c] = _mm256_set1_epi16(static_cast<short>(d[c].mul));
    dv.shift[c] = _mm_cvtsi32_si128(d[c].shift);
    u[c] = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(sums[c]));
  }
  std::ptrdiff_t j = 0;
  for (; j + kRowUnit <= span; j += kRowUnit) {
    rowChunk<Channels, 0>(from + j, to + j, stride, rows, dv, u);
    rowChunk<Channels, 32>(from + j + 32, to + j + 32, stride, rows, dv, u);
    rowChunk<Channels, 64>(from + j + 64, to + j + 64, stride, rows, dv, u);
  }
  for (int c = 0; c < 3; ++c) _mm256_storeu_si256(reinterpret_cast<__m256i*>(sums[c]), u[c]);
  // The last bytes of each row, one at a time, carrying on from the vector sums.
  for (int r = 0; r < rows; ++r) {
    const uint8_t* in = from + r * stride;
    uint8_t* out = to + r * stride;
    for (std::ptrdiff_t x = j; x < span; ++x) {
      const int c = Channels == 3 ? static_cast<int>(x % 3) : r / kStripRows;
      step(sums[c][r % kStripRows], in[x], out[x], d[c]);
    }
  }
}

template <bool UniformShift>
VZ_AVX2_INLINE void columnStrip(uint8_t* p, std::ptrdiff_t rowBytes, int height, int n,
                                uint16_t* sums, const DivideBy (&d)[3]) {
  constexpr int kGroup = 96;  // six vectors of 16 lanes: the channel pattern twice
  constexpr int kDeep = 16;   // rows walked down each group while its sums stay in registers
  __m256i mul[3], post[3], keep[3];
  for (int g = 0; g < 3; ++g) {
    alignas(32) uint16_t m[16], q[16], z[16];
    for (int l = 0; l < 16; ++l) {
      const DivideBy& e = d[(16 * g + l) % 3];
      m[l] = e.mul;
      q[l] = e.shift == 0 ? 0 : static_cast<uint16_t>(1u << (16 - e.shift));
      z[l] = e.shift == 0 ? 0xFFFF : 0;
    }
    mul[g] = _mm256_load_si256(reinterpret_cast<const __m256i*>(m));
    post[g] = _mm256_load_si256(reinterpret_cast<const __m256i*>(q));
    keep[g] = _mm256_load_si256(reinterpret_cast<const __m256i*>(z));
  }
  const __m128i shift = _mm_cvtsi32_si128(d[0].shift);
  const int whole = n - n % kGroup;
  for (int y0 = 0; y0 < height; y0 += kDeep) {
    const int deep = std::min(kDeep, height - y0);
    uint8_t* top = p + y0 * rowBytes;
    for (int j = 0; j < whole; j += kGroup) {
      __m256i u[6];
      for (int v = 0; v < 6; ++v)
        u[v] = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(sums + j + 16 * v));
      uint8_t* row = top + j;
      for (int y = 0; y < deep; ++y, row += rowBytes) {
        for (int v = 0; v < 6; ++v) {
          uint8_t* q = row + 16 * v;
          const __m256i in = _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<__m128i*>(q)));
          const __m256i t = _mm256_mulhi_epu16(u[v], mul[v % 3]);
          const __m256i out = UniformShift ? _mm256_srl_epi16(t, shift)
                                           : _mm256_or_si256(_mm256_mulhi_epu16(t, post[v % 3]),
                                                             _mm256_and_si256(t, keep[v % 3]));
          u[v] = _mm256_sub_epi16(_mm256_add_epi16(u[v], in), out);
          _mm_storeu_si128(
              reinterpret_cast<__m128i*>(q),
              _mm_packus_epi16(_mm256_castsi256_si128(out), _mm256_extracti128_si256(out, 1)));
        }
      }
      for (int v = 0; v < 6; ++v)
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(sums + j + 16 * v), u[v]);
    }
    uint8_t* row = top;
    for (int y = 0; y < deep; ++y, row += rowBytes)
      for (int j = whole; j < n; ++j) step(sums[j], row[j], d[j % 3]);
  }
}

}  // namespace

VZ_AVX2 void lowPassRowsAvx2(const uint8_t* from, uint8_t* to, std::ptrdiff_t rowBytes, int height,
                             const DivideBy (&d)[3], int channels) {
  const int strip = kStripRows * (channels == 3 ? kGroups<3> : kGroups<1>);
  for (int y = 0; y < height; y += strip) {
    const int rows = std::min(strip, height - y);
    uint16_t sums[3][kStripRows];
    for (int c = 0; c < 3; ++c) std::fill_n(sums[c], kStripRows, d[c].bias);
    if (channels == 3)
      rowStrip<3>(from + y * rowBytes, to + y * rowBytes, rowBytes, rowBytes, rows, d, sums);
    else
      rowStrip<1>(from + y * rowBytes, to + y * rowBytes, rowBytes, rowBytes, rows, d, sums);
  }
}

VZ_AVX2 void lowPassRowSpanAvx2(uint8_t* p, std::ptrdiff_t stride, std::ptrdiff_t span, int rows,
                                const DivideBy (&d)[3], uint16_t (&sums)[3][16]) {
  for (int c = 0; c < 3; ++c)
    for (int r = 0; r < kStripRows; ++r) sums[c][r] = static_cast<uint16_t>(sums[c][r] + d[c].bias);
  rowStrip<3>(p, p, stride, span, rows, d, sums);
  for (int c = 0; c < 3; ++c)
    for (int r = 0; r < kStripRows; ++r) sums[c][r] = static_cast<uint16_t>(sums[c][r] - d[c].bias);
}

// Strips narrow enough that their sums stay in the first-level cache; a multiple of 96
// bytes, so each strip starts on channel 0 and a whole group.
constexpr int kColumnStrip = 48 * 32;

VZ_AVX2 void lowPassColumnsAvx2(uint8_t* p, std::ptrdiff_t rowBytes, std::ptrdiff_t bytes,
                                int height, const DivideBy (&d)[3]) {
  uint16_t sums[kColumnStrip];
  for (std::ptrdiff_t x0 = 0; x0 < bytes; x0 += kColumnStrip) {
    const int n = static_cast<int>(std::min<std::ptrdiff_t>(kColumnStrip, bytes - x0));
    for (int j = 0; j < n; ++j) sums[j] = d[j % 3].bias;
    lowPassColumnBandAvx2(p + x0, rowBytes, n, height, d, sums);
  }
}

VZ_AVX2 void lowPassColumnBandAvx2(uint8_t* p, std::ptrdiff_t rowBytes, std::ptrdiff_t bytes,
                                   int rows, const DivideBy (&d)[3], uint16_t* sums) {
  const bool uniform = d[0].shift == d[1].shift && d[1].shift == d[2].shift;
  for (std::ptrdiff_t x0 = 0; x0 < bytes; x0 += kColumnStrip) {
    const int n = static_cast<int>(std::min<std::ptrdiff_t>(kColumnStrip, bytes - x0));
    if (uniform)
      columnStrip<true>(p + x0, rowBytes, rows, n, sums + x0, d);
    else
      columnStrip<false>(p + x0, rowBytes, rows, n, sums + x0, d);
  }
}

}  // namespace vz
