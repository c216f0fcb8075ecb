// SPDX-License-Identifier: GPL-3.0-or-later
#include <algorithm>

#include "engine/effects_avx2.h"
#include "engine/simd_avx2.h"

namespace vz {

namespace {

using namespace avx2;

struct IndexVectors {
  __m256i floor, output, invert, palette[3];
};

VZ_AVX2_INLINE IndexVectors indexVectors(const FrameSettings& s, const uint8_t (&entry)[3][16]) {
  IndexVectors k;
  k.floor = _mm256_set1_epi16(static_cast<short>(std::clamp(s.floor, 0, 256)));
  k.output = _mm256_set1_epi16(static_cast<short>(s.outputRed));
  k.invert = _mm256_set1_epi16(static_cast<short>(s.invertRed == 1 ? 255 : 0));
  for (int c = 0; c < 3; ++c)
    k.palette[c] =
        _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(entry[c])));
  return k;
}

// Palette entry (0..15) of brightness y (0..255) per 16-bit lane; 255 - y is y ^ 255 and
// 15 - level is level ^ 15 on these ranges.
VZ_AVX2_INLINE __m256i entryOf(__m256i y, const IndexVectors& k, __m256i mask) {
  y = _mm256_andnot_si256(_mm256_cmpgt_epi16(k.floor, y), y);
  y = _mm256_min_epu16(_mm256_srli_epi16(_mm256_mullo_epi16(y, k.output), 5),
                       _mm256_set1_epi16(255));
  y = _mm256_xor_si256(y, k.invert);
  return _mm256_xor_si256(_mm256_and_si256(_mm256_srli_epi16(y, 4), mask), _mm256_set1_epi16(15));
}

VZ_AVX2_INLINE Block lookUp(__m256i entries, const IndexVectors& k) {
  return fromPlanes({_mm256_shuffle_epi8(k.palette[kBlue], entries),
                     _mm256_shuffle_epi8(k.palette[kGreen], entries),
                     _mm256_shuffle_epi8(k.palette[kRed], entries)});
}

}  // namespace

bool lutFitsAvx2(const FrameSettings& s) {
  return s.outputRed >= 0 && s.outputRed <= 255;
}

VZ_AVX2 std::ptrdiff_t lutPixelsAvx2(const FrameSettings& s, const uint8_t (&entry)[3][16],
                                     const uint8_t* from, uint8_t* to, std::ptrdiff_t count) {
  const IndexVectors k = indexVectors(s, entry);
  const __m256i mask = _mm256_set1_epi16(static_cast<short>(s.lutMask & 15));
  std::ptrdiff_t i = 0;
  for (; i + 32 <= count; i += 32) {
    const Planes in = toPlanes(loadBlock(from + 3 * i));
    const __m256i lo =
        _mm256_add_epi16(_mm256_add_epi16(widenLo(in.b), widenLo(in.g)), widenLo(in.r));
    const __m256i hi =
        _mm256_add_epi16(_mm256_add_epi16(widenHi(in.b), widenHi(in.g)), widenHi(in.r));
    const __m256i entries = narrow(entryOf(divide3(lo), k, mask), entryOf(divide3(hi), k, mask));
    storeBlock(to + 3 * i, lookUp(entries, k));
  }
  return i;
}

VZ_AVX2 void lutExpandAvx2(const FrameSettings& s, const uint8_t (&entry)[3][16],
                           const uint8_t* plane, uint8_t* pixels, std::ptrdiff_t count) {
  const IndexVectors k = indexVectors(s, entry);
  const __m256i mask = _mm256_set1_epi16(static_cast<short>(s.lutMask & 15));
  // Backwards: block i reads plane bytes i..i+31 before writing bytes 3i..3i+95, which lie at
  // or above every plane byte still to be read when the plane is the pixels' front.
  for (std::ptrdiff_t i = count - 32; i >= 0; i -= 32) {
    const __m256i y = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(plane + i));
    const __m256i entries = narrow(entryOf(widenLo(y), k, mask), entryOf(widenHi(y), k, mask));
    storeBlock(pixels + 3 * i, lookUp(entries, k));
  }
}

}  // namespace vz
