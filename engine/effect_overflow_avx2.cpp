// SPDX-License-Identifier: GPL-3.0-or-later
#include <algorithm>

#include "engine/effects_avx2.h"
#include "engine/simd_avx2.h"

namespace vz {

namespace {

using namespace avx2;

struct OverflowVectors {
  __m256i floor, quantize[3], invert[3], gain[3];
  __m256i mixRG[3], mixB[3];   // per output channel: (red, green) word pairs, then blue
  __m256i output[3];           // o << 5
  __m256i amount, rest, pair;  // pair: (amount, rest) words, for the 32-bit form
};

VZ_AVX2_INLINE __m256i words(int v) {
  return _mm256_set1_epi16(static_cast<short>(v));
}

// Floor, quantize and invert on bytes, then the wrapping gain in 16-bit lanes.
VZ_AVX2_INLINE void level(__m256i v, const OverflowVectors& k, int c, __m256i (&half)[2]) {
  const __m256i keep = _mm256_cmpeq_epi8(_mm256_max_epu8(v, k.floor), v);
  v = _mm256_xor_si256(_mm256_and_si256(_mm256_and_si256(v, keep), k.quantize[c]), k.invert[c]);
  const __m256i lo = widenLo(v), hi = widenHi(v);
  for (int h = 0; h < 2; ++h) {
    const __m256i x = _mm256_mullo_epi16(h ? hi : lo, k.gain[c]);  // at most 255 * 255
    const __m256i q = _mm256_srli_epi16(_mm256_mulhi_epu16(x, words(43691)), 3);  // x / 12
    half[h] = _mm256_and_si256(q, words(255));
  }
}

// (r * cr + g * cg + b * cb) >> 8 in 32-bit sums, back to 16 bits (at most 762).
VZ_AVX2_INLINE __m256i mix(__m256i rgLo, __m256i rgHi, __m256i bLo, __m256i bHi, __m256i cRG,
                           __m256i cB) {
  const __m256i lo = _mm256_add_epi32(_mm256_madd_epi16(rgLo, cRG), _mm256_madd_epi16(bLo, cB));
  const __m256i hi = _mm256_add_epi32(_mm256_madd_epi16(rgHi, cRG), _mm256_madd_epi16(bHi, cB));
  return _mm256_packs_epi32(_mm256_srli_epi32(lo, 8), _mm256_srli_epi32(hi, 8));
}

// min((v * o) >> 5, 255) as the high half of (v << 6) * (o << 5), which is (v * o) << 11:
// exact for v below 1024 and o below 2048 (v is at most 762, o at most 255). oShifted: o << 5.
VZ_AVX2_INLINE __m256i scale(__m256i v, __m256i oShifted) {
  return _mm256_min_epu16(_mm256_mulhi_epu16(_mm256_slli_epi16(v, 6), oShifted), words(255));
}

VZ_AVX2_INLINE __m256i divide100(__m256i v) {
  return _mm256_srli_epi16(_mm256_mulhi_epu16(_mm256_srli_epi16(v, 2), words(41944)), 4);
}

// (v * amount + m * (100 - amount)) / 100, low byte. With amount in 0..100 the sum is at
// most 25500 and never negative; above 100 it can be, so it is formed in 32 bits and
// divided by magnitude, truncating toward zero.
template <bool Negative>
VZ_AVX2_INLINE __m256i saturate(__m256i v, __m256i m, const OverflowVectors& k) {
  if (!Negative) {
    const __m256i sum =
        _mm256_add_epi16(_mm256_mullo_epi16(v, k.amount), _mm256_mullo_epi16(m, k.rest));
    return _mm256_srli_epi16(_mm256_mulhi_epu16(sum, words(41944)), 6);  // sum / 100
  }
  const __m256i lo = _mm256_madd_epi16(_mm256_unpacklo_epi16(v, m), k.pair);
  const __m256i hi = _mm256_madd_epi16(_mm256_unpackhi_epi16(v, m), k.pair);
  const __m256i magnitude = _mm256_packus_epi32(_mm256_abs_epi32(lo), _mm256_abs_epi32(hi));
  const __m256i sign = _mm256_packs_epi32(_mm256_srai_epi32(lo, 31), _mm256_srai_epi32(hi, 31));
  const __m256i q = divide100(magnitude);
  return _mm256_and_si256(_mm256_sub_epi16(_mm256_xor_si256(q, sign), sign), words(255));
}

template <bool Negative>
VZ_AVX2 std::ptrdiff_t run(const OverflowVectors& k, const uint8_t* from, uint8_t* to,
                           std::ptrdiff_t count) {
  std::ptrdiff_t i = 0;
  for (; i + 32 <= count; i += 32) {
    const Planes in = toPlanes(loadBlock(from + 3 * i));
    __m256i r[2], g[2], b[2];
    level(in.r, k, kRed, r);
    level(in.g, k, kGreen, g);
    level(in.b, k, kBlue, b);
    __m256i out[3][2];
    for (int h = 0; h < 2; ++h) {
      const __m256i rgLo = _mm256_unpacklo_epi16(r[h], g[h]);
      const __m256i rgHi = _mm256_unpackhi_epi16(r[h], g[h]);
      const __m256i bLo = _mm256_unpacklo_epi16(b[h], _mm256_setzero_si256());
      const __m256i bHi = _mm256_unpackhi_epi16(b[h], _mm256_setzero_si256());
      __m256i v[3];
      for (int c = 0; c < 3; ++c)
        v[c] = scale(mix(rgLo, rgHi, bLo, bHi, k.mixRG[c], k.mixB[c]), k.output[c]);
      const __m256i m = divide3(_mm256_add_epi16(_mm256_add_epi16(v[0], v[1]), v[2]));
      for (int c = 0; c < 3; ++c) out[c][h] = saturate<Negative>(v[c], m, k);
    }
    storeBlock(to + 3 * i, fromPlanes({narrow(out[kBlue][0], out[kBlue][1]),
                                       narrow(out[kGreen][0], out[kGreen][1]),
                                       narrow(out[kRed][0], out[kRed][1])}));
  }
  return i;
}

bool inByte(int32_t v) {
  return v >= 0 && v <= 255;
}

}  // namespace

bool overflowFitsAvx2(const FrameSettings& s) {
  for (int c = 0; c < 3; ++c) {
    if (!inByte(s.gain[c]) || !inByte(s.output[c])) return false;
    for (int from = 0; from < 3; ++from)
      if (!inByte(s.mix[c][from])) return false;
  }
  return inByte(s.colorAmount);
}

VZ_AVX2 std::ptrdiff_t overflowPixelsAvx2(const FrameSettings& s, const uint8_t* from, uint8_t* to,
                                          std::ptrdiff_t count) {
  OverflowVectors k;
  // A floor above every byte clears every value, as a zero quantize mask does.
  const bool allBelow = s.floor > 255;
  k.floor = _mm256_set1_epi8(static_cast<char>(std::clamp(s.floor, 0, 255)));
  for (int c = 0; c < 3; ++c) {
    k.quantize[c] = _mm256_set1_epi8(static_cast<char>(allBelow ? 0 : s.quantizeMask[c]));
    k.invert[c] = _mm256_set1_epi8(static_cast<char>(s.invertXor[c]));
    k.gain[c] = words(s.gain[c]);
    k.mixRG[c] = _mm256_set1_epi32(s.mix[c][kRed] | (s.mix[c][kGreen] << 16));
    k.mixB[c] = _mm256_set1_epi32(s.mix[c][kBlue]);
    k.output[c] = words(s.output[c] << 5);
  }
  const int amount = s.colorAmount, rest = 100 - s.colorAmount;
  k.amount = words(amount);
  k.rest = words(rest);
  k.pair = _mm256_set1_epi32(
      static_cast<int>((static_cast<uint32_t>(rest) << 16) | static_cast<uint32_t>(amount)));
  return amount <= 100 ? run<false>(k, from, to, count) : run<true>(k, from, to, count);
}

}  // namespace vz
