// SPDX-License-Identifier: GPL-3.0-or-later
// The modes that combine a pixel with its neighbours along the row: Emboss, Smear, Mirror.
#include "engine/effects_avx2.h"
#include "engine/simd_avx2.h"

namespace vz {

namespace {

using namespace avx2;

// Shuffle control for reversing 16 pixels: byte j of output part P takes source byte
// 3 * (15 - pixel) + channel, when that byte lies in source part Q.
constexpr int reversedSource(int part, int j) {
  const int at = 16 * part + j;
  return 3 * (15 - at / 3) + at % 3;
}
constexpr bool reverseUses(int part, int from) {
  for (int j = 0; j < 16; ++j)
    if (reversedSource(part, j) / 16 == from) return true;
  return false;
}
constexpr char reverseIndex(int part, int from, int j) {
  const int at = reversedSource(part, j);
  return at / 16 == from ? static_cast<char>(at % 16) : static_cast<char>(0x80);
}

template <int Part, int From>
VZ_AVX2_INLINE __m256i reversePiece(__m256i v) {
  if constexpr (!reverseUses(Part, From)) {
    return _mm256_setzero_si256();
  } else {
    constexpr auto f = reverseIndex;
    const __m128i c =
        _mm_setr_epi8(f(Part, From, 0), f(Part, From, 1), f(Part, From, 2), f(Part, From, 3),
                      f(Part, From, 4), f(Part, From, 5), f(Part, From, 6), f(Part, From, 7),
                      f(Part, From, 8), f(Part, From, 9), f(Part, From, 10), f(Part, From, 11),
                      f(Part, From, 12), f(Part, From, 13), f(Part, From, 14), f(Part, From, 15));
    return _mm256_shuffle_epi8(v, _mm256_broadcastsi128_si256(c));
  }
}

template <int Part>
VZ_AVX2_INLINE __m256i reversePart(const Block& b) {
  return _mm256_or_si256(_mm256_or_si256(reversePiece<Part, 0>(b.a), reversePiece<Part, 1>(b.b)),
                         reversePiece<Part, 2>(b.c));
}

}  // namespace

// Plane v of pixels x..x+31 moved on by one pixel: pixel x - 1 (the last of `before`, the
// planes of pixels x-32..x-1) first.
VZ_AVX2_INLINE __m256i oneBack(__m256i v, __m256i before) {
  return _mm256_alignr_epi8(v, _mm256_permute2x128_si256(before, v, 0x21), 15);
}

VZ_AVX2 int embossRowAvx2(uint8_t* row, int width) {
  // Right to left, each block reading its left neighbours (one pixel back) before it writes,
  // so every comparison sees original bytes: the block to the left is loaded before this one
  // is stored, and gives the next step its own pixels. Pixels 0 and 1 stay with the portable
  // code.
  int x = width - 32;
  if (x < 2) return x + 32;
  Planes here = toPlanes(loadBlock(row + 3 * x));
  for (; x >= 2; x -= 32) {
    uint8_t* p = row + 3 * x;
    Planes left;
    Planes before{};
    if (x >= 32) {
      before = toPlanes(loadBlock(p - 96));
      left.g = oneBack(here.g, before.g);
      left.r = oneBack(here.r, before.r);
    } else {
      left = toPlanes(loadBlock(p - 3));
    }
    __m256i d[2];
    for (int h = 0; h < 2; ++h) {
      const __m256i s = h ? _mm256_add_epi16(widenHi(here.g), widenHi(here.r))
                          : _mm256_add_epi16(widenLo(here.g), widenLo(here.r));
      const __m256i t = h ? _mm256_add_epi16(widenHi(left.g), widenHi(left.r))
                          : _mm256_add_epi16(widenLo(left.g), widenLo(left.r));
      const __m256i clamped =
          _mm256_max_epi16(_mm256_min_epi16(_mm256_sub_epi16(s, t), _mm256_set1_epi16(127)),
                           _mm256_set1_epi16(-127));
      d[h] = _mm256_add_epi16(clamped, _mm256_set1_epi16(128));
    }
    storeBlock(p, fromGrey(narrow(d[0], d[1])));
    here = before;
  }
  return x + 32;
}

VZ_AVX2 std::ptrdiff_t smearRunAvx2(uint8_t* q, std::ptrdiff_t runBytes) {
  // Forward: a block reads 3..43 bytes ahead before writing its own 32, and later blocks
  // read only past it.
  std::ptrdiff_t k = 0;
  for (; k + 32 <= runBytes; k += 32) {
    __m256i lo = _mm256_setzero_si256(), hi = _mm256_setzero_si256();
    for (int t = 3; t <= 12; t += 3) {
      const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(q + k + t));
      lo = _mm256_add_epi16(lo, widenLo(v));
      hi = _mm256_add_epi16(hi, widenHi(v));
    }
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(q + k),
                        narrow(_mm256_srli_epi16(lo, 2), _mm256_srli_epi16(hi, 2)));
  }
  return k;
}

VZ_AVX2 int mirrorRowAvx2(uint8_t* row, int width) {
  // The left half and the right half never overlap, so the order of blocks is free. A
  // block of 32 source pixels reversed within each lane, with the lanes stored crosswise.
  const int half = width / 2;
  int x = 0;
  for (; x + 32 <= half; x += 32) {
    const Block from = loadBlock(row + 3 * (width - x - 32));
    const __m256i a = reversePart<0>(from), b = reversePart<1>(from), c = reversePart<2>(from);
    uint8_t* to = row + 3 * x;
    detail::storePair(to + 48, to, a);
    detail::storePair(to + 64, to + 16, b);
    detail::storePair(to + 80, to + 32, c);
  }
  return x;
}

}  // namespace vz
