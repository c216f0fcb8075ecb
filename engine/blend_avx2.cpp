// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/blend.h"
#include "engine/simd_avx2.h"

namespace vz::blend_detail {

namespace {

// Unsigned 16-bit division by n as a high multiply, a subtract and two shifts, exact for
// every 16-bit dividend and every n (round-up method: l = ceil(log2 n),
// m = floor(2^16 (2^l - n) / n) + 1).
struct Divider {
  __m128i shift1, shift2;
  __m256i m;
};

VZ_AVX2_INLINE Divider dividerFor(int n) {
  int l = 0;
  while ((1 << l) < n) ++l;
  const uint32_t m = ((uint32_t{1} << 16) * ((uint32_t{1} << l) - n)) / n + 1;
  return {_mm_cvtsi32_si128(l > 0 ? 1 : 0), _mm_cvtsi32_si128(l > 1 ? l - 1 : 0),
          _mm256_set1_epi16(static_cast<short>(m))};
}

VZ_AVX2_INLINE __m256i divide(__m256i v, const Divider& d) {
  const __m256i t = _mm256_mulhi_epu16(v, d.m);
  return _mm256_srl_epi16(_mm256_add_epi16(t, _mm256_srl_epi16(_mm256_sub_epi16(v, t), d.shift1)),
                          d.shift2);
}

// Fades up to 127 frames: both weights fit a signed byte, so one multiply-add per pair of
// bytes forms old * a + new * b, and the sums stay below 2^15, where a high multiply by
// m = ceil(2^(15+s) / n) (s = ceil(log2 n)) and a shift divide exactly: the reciprocal errs
// by under n / 2^(15+s) <= 2^-15, less than the 1/n a quotient needs to reach the next one.
VZ_AVX2 std::ptrdiff_t blendShortAvx2(const uint8_t* old, uint8_t* into, std::ptrdiff_t bytes,
                                      int j, int n) {
  int s = 0;
  while ((1 << s) < n) ++s;
  const uint32_t m = ((uint32_t{1} << (15 + s)) + n - 1) / n;
  const __m256i weights = _mm256_set1_epi16(static_cast<short>(((j + 1) << 8) | (n - 1 - j)));
  const __m256i half = _mm256_set1_epi16(static_cast<short>(n / 2));
  const __m256i magic = _mm256_set1_epi16(static_cast<short>(m));
  const __m128i shift = _mm_cvtsi32_si128(s - 1);
  std::ptrdiff_t i = 0;
  for (; i + 32 <= bytes; i += 32) {
    const __m256i o = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(old + i));
    const __m256i w = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(into + i));
    // (old, new) byte pairs within each lane; packing within the lanes restores the order.
    const __m256i lo =
        _mm256_add_epi16(_mm256_maddubs_epi16(_mm256_unpacklo_epi8(o, w), weights), half);
    const __m256i hi =
        _mm256_add_epi16(_mm256_maddubs_epi16(_mm256_unpackhi_epi8(o, w), weights), half);
    _mm256_storeu_si256(
        reinterpret_cast<__m256i*>(into + i),
        _mm256_packus_epi16(_mm256_srl_epi16(_mm256_mulhi_epu16(lo, magic), shift),
                            _mm256_srl_epi16(_mm256_mulhi_epu16(hi, magic), shift)));
  }
  return i;
}

}  // namespace

// Sums reach 255 n + n / 2, inside 16 bits for n up to 256.
VZ_AVX2 std::ptrdiff_t blendRowAvx2(const uint8_t* old, uint8_t* into, std::ptrdiff_t bytes, int j,
                                    int n) {
  if (n == 1) return bytes;  // the new look alone: already in place
  if (n < 128) return blendShortAvx2(old, into, bytes, j, n);
  const Divider d = dividerFor(n);
  const __m256i a = _mm256_set1_epi16(static_cast<short>(n - 1 - j));
  const __m256i b = _mm256_set1_epi16(static_cast<short>(j + 1));
  const __m256i half = _mm256_set1_epi16(static_cast<short>(n / 2));
  const __m256i zero = _mm256_setzero_si256();
  std::ptrdiff_t i = 0;
  for (; i + 32 <= bytes; i += 32) {
    const __m256i o = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(old + i));
    const __m256i w = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(into + i));
    // Unpacking and packing within each 128-bit lane keeps the bytes in order.
    const __m256i lo =
        _mm256_add_epi16(_mm256_add_epi16(_mm256_mullo_epi16(_mm256_unpacklo_epi8(o, zero), a),
                                          _mm256_mullo_epi16(_mm256_unpacklo_epi8(w, zero), b)),
                         half);
    const __m256i hi =
        _mm256_add_epi16(_mm256_add_epi16(_mm256_mullo_epi16(_mm256_unpackhi_epi8(o, zero), a),
                                          _mm256_mullo_epi16(_mm256_unpackhi_epi8(w, zero), b)),
                         half);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(into + i),
                        _mm256_packus_epi16(divide(lo, d), divide(hi, d)));
  }
  return i;
}

}  // namespace vz::blend_detail
