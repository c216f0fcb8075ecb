// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/effects_avx2.h"
#include "engine/simd_avx2.h"

namespace vz {

namespace {

using namespace avx2;

// (b + g + r) / 3 of a block, in bytes.
VZ_AVX2_INLINE __m256i greyOf(const Planes& p) {
  const __m256i lo = _mm256_add_epi16(_mm256_add_epi16(widenLo(p.b), widenLo(p.g)), widenLo(p.r));
  const __m256i hi = _mm256_add_epi16(_mm256_add_epi16(widenHi(p.b), widenHi(p.g)), widenHi(p.r));
  return narrow(divide3(lo), divide3(hi));
}

}  // namespace

VZ_AVX2 std::ptrdiff_t bwInvertPixelsAvx2(uint8_t flip, uint8_t* pixels, std::ptrdiff_t count) {
  const __m256i x = _mm256_set1_epi8(static_cast<char>(flip));
  std::ptrdiff_t i = 0;
  for (; i + 32 <= count; i += 32) {
    uint8_t* p = pixels + 3 * i;
    storeBlock(p, fromGrey(_mm256_xor_si256(greyOf(toPlanes(loadBlock(p))), x)));
  }
  return i;
}

VZ_AVX2 std::ptrdiff_t greenBlueGreyPixelsAvx2(uint8_t* pixels, std::ptrdiff_t count) {
  std::ptrdiff_t i = 0;
  for (; i + 32 <= count; i += 32) {
    uint8_t* p = pixels + 3 * i;
    const Planes in = toPlanes(loadBlock(p));
    // (b + g) >> 1 without widening: the shared bits plus half the differing ones.
    const __m256i half = _mm256_and_si256(_mm256_srli_epi16(_mm256_xor_si256(in.b, in.g), 1),
                                          _mm256_set1_epi8(0x7F));
    storeBlock(p, fromGrey(_mm256_add_epi8(_mm256_and_si256(in.b, in.g), half)));
  }
  return i;
}

VZ_AVX2 std::ptrdiff_t greyPlaneAvx2(const uint8_t* pixels, uint8_t* plane, std::ptrdiff_t count) {
  std::ptrdiff_t i = 0;
  for (; i + 32 <= count; i += 32) {
    // The block is read whole before its 32 bytes land at i, below every unread pixel.
    const __m256i grey = greyOf(toPlanes(loadBlock(pixels + 3 * i)));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(plane + i), grey);
  }
  return i;
}

}  // namespace vz
