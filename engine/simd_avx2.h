// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Helpers for the AVX2 kernels. Every function carries the target attribute, so the rest of
// the program stays baseline x86-64 and these run only behind useAvx2().
#include <immintrin.h>

#include <cstdint>

#define VZ_AVX2 __attribute__((target("avx2")))
#define VZ_AVX2_INLINE __attribute__((target("avx2"), always_inline)) inline

namespace vz::avx2 {

// A block of 32 packed pixels (96 bytes) as three planes of 32 bytes. Each 128-bit lane
// holds 16 whole pixels, since byte shuffles never cross lanes: lane 0 takes pixels 0..15
// and lane 1 pixels 16..31.
struct Planes {
  __m256i b, g, r;
};

namespace detail {

// Shuffle control picking channel `ch` of 16 pixels out of the `part`th 16 bytes of 48.
constexpr uint8_t gatherIndex(int part, int ch, int i) {
  const int at = 3 * i + ch - 16 * part;
  return at >= 0 && at < 16 ? static_cast<uint8_t>(at) : 0x80;
}
// Shuffle control placing plane `ch` into the `part`th 16 bytes of 48.
constexpr uint8_t scatterIndex(int part, int ch, int j) {
  const int at = 16 * part + j;
  return at % 3 == ch ? static_cast<uint8_t>(at / 3) : 0x80;
}

constexpr uint8_t greyIndex(int part, int, int j) {
  return static_cast<uint8_t>((16 * part + j) / 3);
}

template <uint8_t (*F)(int, int, int), int Part, int Ch>
VZ_AVX2_INLINE __m256i control() {
  return _mm256_setr_epi8(F(Part, Ch, 0), F(Part, Ch, 1), F(Part, Ch, 2), F(Part, Ch, 3),
                          F(Part, Ch, 4), F(Part, Ch, 5), F(Part, Ch, 6), F(Part, Ch, 7),
                          F(Part, Ch, 8), F(Part, Ch, 9), F(Part, Ch, 10), F(Part, Ch, 11),
                          F(Part, Ch, 12), F(Part, Ch, 13), F(Part, Ch, 14), F(Part, Ch, 15),
                          F(Part, Ch, 0), F(Part, Ch, 1), F(Part, Ch, 2), F(Part, Ch, 3),
                          F(Part, Ch, 4), F(Part, Ch, 5), F(Part, Ch, 6), F(Part, Ch, 7),
                          F(Part, Ch, 8), F(Part, Ch, 9), F(Part, Ch, 10), F(Part, Ch, 11),
                          F(Part, Ch, 12), F(Part, Ch, 13), F(Part, Ch, 14), F(Part, Ch, 15));
}

template <int Ch>
VZ_AVX2_INLINE __m256i gather(__m256i a, __m256i b, __m256i c) {
  return _mm256_or_si256(_mm256_or_si256(_mm256_shuffle_epi8(a, control<gatherIndex, 0, Ch>()),
                                         _mm256_shuffle_epi8(b, control<gatherIndex, 1, Ch>())),
                         _mm256_shuffle_epi8(c, control<gatherIndex, 2, Ch>()));
}

template <int Part>
VZ_AVX2_INLINE __m256i scatter(const Planes& p) {
  return _mm256_or_si256(
      _mm256_or_si256(_mm256_shuffle_epi8(p.b, control<scatterIndex, Part, 0>()),
                      _mm256_shuffle_epi8(p.g, control<scatterIndex, Part, 1>())),
      _mm256_shuffle_epi8(p.r, control<scatterIndex, Part, 2>()));
}

// One plane copied into all three channels.
template <int Part>
VZ_AVX2_INLINE __m256i scatterGrey(__m256i v) {
  return _mm256_shuffle_epi8(v, control<greyIndex, Part, 0>());
}

VZ_AVX2_INLINE __m256i loadPair(const uint8_t* lo, const uint8_t* hi) {
  return _mm256_inserti128_si256(
      _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(lo))),
      _mm_loadu_si128(reinterpret_cast<const __m128i*>(hi)), 1);
}

VZ_AVX2_INLINE void storePair(uint8_t* lo, uint8_t* hi, __m256i v) {
  _mm_storeu_si128(reinterpret_cast<__m128i*>(lo), _mm256_castsi256_si128(v));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(hi), _mm256_extracti128_si256(v, 1));
}

}  // namespace detail

// The three 32-byte vectors of a block, lane-split as described above.
struct Block {
  __m256i a, b, c;
};

VZ_AVX2_INLINE Block loadBlock(const uint8_t* p) {
  return {detail::loadPair(p, p + 48), detail::loadPair(p + 16, p + 64),
          detail::loadPair(p + 32, p + 80)};
}

VZ_AVX2_INLINE void storeBlock(uint8_t* p, const Block& v) {
  detail::storePair(p, p + 48, v.a);
  detail::storePair(p + 16, p + 64, v.b);
  detail::storePair(p + 32, p + 80, v.c);
}

VZ_AVX2_INLINE Planes toPlanes(const Block& v) {
  return {detail::gather<0>(v.a, v.b, v.c), detail::gather<1>(v.a, v.b, v.c),
          detail::gather<2>(v.a, v.b, v.c)};
}

VZ_AVX2_INLINE Block fromPlanes(const Planes& p) {
  return {detail::scatter<0>(p), detail::scatter<1>(p), detail::scatter<2>(p)};
}

// A grey plane as pixels with all three bytes equal.
VZ_AVX2_INLINE Block fromGrey(__m256i v) {
  return {detail::scatterGrey<0>(v), detail::scatterGrey<1>(v), detail::scatterGrey<2>(v)};
}

// Bytes to 16-bit lanes and back. The order within the halves is a per-lane interleave,
// which narrow() undoes, so lane-wise arithmetic in between needs no care.
VZ_AVX2_INLINE __m256i widenLo(__m256i v) {
  return _mm256_unpacklo_epi8(v, _mm256_setzero_si256());
}
VZ_AVX2_INLINE __m256i widenHi(__m256i v) {
  return _mm256_unpackhi_epi8(v, _mm256_setzero_si256());
}
// Values must lie in 0..255.
VZ_AVX2_INLINE __m256i narrow(__m256i lo, __m256i hi) {
  return _mm256_packus_epi16(lo, hi);
}

// floor(v / 3) for v in 0..65535.
VZ_AVX2_INLINE __m256i divide3(__m256i v) {
  return _mm256_srli_epi16(_mm256_mulhi_epu16(v, _mm256_set1_epi16(static_cast<short>(0xAAAB))), 1);
}

}  // namespace vz::avx2
