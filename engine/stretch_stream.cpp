// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/stretch_stream.h"

#include <algorithm>

#include "engine/cpu_dispatch.h"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace vz::stream {

#if defined(__x86_64__)
namespace {

const bool kHaveShuffles = __builtin_cpu_supports("ssse3");

uint32_t pixelAt(const uint8_t* p) {
  return 0xff000000u | uint32_t{p[2]} << 16 | uint32_t{p[1]} << 8 | p[0];
}

// Pixels [from, to) of each row one by one: the edges before the first aligned vector and
// after the last whole one. Streamed as well: an ordinary store into a line that streamed
// stores are filling would fetch it after all.
void pixelsOneByOne(const uint8_t* in, int scale, int col, int from, int to, uint32_t* out,
                    std::ptrdiff_t strideBytes, int rows) {
  const int shift = scale - 1;
  for (int r = 0; r < rows; ++r) {
    auto* row = reinterpret_cast<int*>(reinterpret_cast<uint8_t*>(out) + r * strideBytes);
    for (int x = from; x < to; ++x)
      _mm_stream_si32(row + x, static_cast<int>(pixelAt(in + 3 * ((col + x) >> shift))));
  }
}

// The shuffle controls that spread one 16-byte load over four destination pixels: pixel j
// shows the load's source pixel (phase + j) / scale, phase being the first one's column
// modulo the scale. Constants, not built on the stack: a load from bytes just stored there
// would wait behind every streamed store before it.
alignas(16) constexpr int8_t kSpread[3][16] = {
    {0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1},  // same width
    {0, 1, 2, -1, 0, 1, 2, -1, 3, 4, 5, -1, 3, 4, 5, -1},    // doubled, even column first
    {0, 1, 2, -1, 3, 4, 5, -1, 3, 4, 5, -1, 6, 7, 8, -1},    // doubled, odd column first
};

__m128i spreadControl(int scale, int phase) {
  return _mm_load_si128(reinterpret_cast<const __m128i*>(kSpread[scale - 1 + phase]));
}

// Pixels before `out` + x reaches an `align`-byte boundary (out is 4-byte aligned).
int headPixels(const uint32_t* out, int align, int width) {
  const auto misaligned = static_cast<int>(reinterpret_cast<uintptr_t>(out) & (align - 1));
  return std::min(((align - misaligned) & (align - 1)) / 4, width);
}

// Eight destination pixels per step from two 16-byte loads: source pixels (col + x) / scale
// and (col + x + 4) / scale. Returns where the vectors stopped. The source is asked for a
// few steps ahead: the stores never wait for anything, so the loads are what stall.
__attribute__((target("ssse3"))) int vectorsSsse3(const uint8_t* in, std::ptrdiff_t rowBytes,
                                                  int scale, int col, int x, int width,
                                                  uint32_t* out, std::ptrdiff_t strideBytes,
                                                  int rows) {
  const __m128i control = spreadControl(scale, (col + x) % scale);
  const int shift = scale - 1;  // no division in the loop
  const __m128i alpha = _mm_set1_epi32(static_cast<int>(0xff000000u));
  auto* base = reinterpret_cast<uint8_t*>(out);
  for (; x + 8 <= width; x += 8) {
    const std::ptrdiff_t a = 3 * std::ptrdiff_t{(col + x) >> shift};
    const std::ptrdiff_t b = 3 * std::ptrdiff_t{(col + x + 4) >> shift};
    if (b + 16 > rowBytes) break;
    _mm_prefetch(reinterpret_cast<const char*>(in + a + 384), _MM_HINT_T0);
    const __m128i lo = _mm_or_si128(
        _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in + a)), control),
        alpha);
    const __m128i hi = _mm_or_si128(
        _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in + b)), control),
        alpha);
    for (int r = 0; r < rows; ++r) {
      auto* to = reinterpret_cast<__m128i*>(base + r * strideBytes + 4 * std::ptrdiff_t{x});
      _mm_stream_si128(to, lo);
      _mm_stream_si128(to + 1, hi);
    }
  }
  return x;
}

// Eight destination pixels from destination column x: source pixels (col + x) / scale and
// (col + x + 4) / scale, shuffled and made opaque.
__attribute__((target("avx2"))) inline __m256i eightAvx2(const uint8_t* in, int shift, int col,
                                                         int x, __m256i control, __m256i alpha) {
  const std::ptrdiff_t a = 3 * std::ptrdiff_t{(col + x) >> shift};
  const std::ptrdiff_t b = 3 * std::ptrdiff_t{(col + x + 4) >> shift};
  const __m256i both = _mm256_inserti128_si256(
      _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in + a))),
      _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + b)), 1);
  return _mm256_or_si256(_mm256_shuffle_epi8(both, control), alpha);
}

// The same with 32-byte stores. Sixteen pixels per step, so each row gets a whole 64-byte
// line at once: the write-combining buffer of a line is filled before the next row's, and
// leaves as one full-line write rather than two halves.
__attribute__((target("avx2"))) int vectorsAvx2(const uint8_t* in, std::ptrdiff_t rowBytes,
                                                int scale, int col, int x, int width, uint32_t* out,
                                                std::ptrdiff_t strideBytes, int rows) {
  const __m256i control = _mm256_broadcastsi128_si256(spreadControl(scale, (col + x) % scale));
  const int shift = scale - 1;
  const __m256i alpha = _mm256_set1_epi32(static_cast<int>(0xff000000u));
  auto* base = reinterpret_cast<uint8_t*>(out);
  // The last load of a step of sixteen starts at source pixel (col + x + 12) / scale.
  for (; x + 16 <= width && 3 * std::ptrdiff_t{(col + x + 12) >> shift} + 16 <= rowBytes; x += 16) {
    _mm_prefetch(reinterpret_cast<const char*>(in + 3 * std::ptrdiff_t{(col + x) >> shift} + 384),
                 _MM_HINT_T0);
    const __m256i v0 = eightAvx2(in, shift, col, x, control, alpha);
    const __m256i v1 = eightAvx2(in, shift, col, x + 8, control, alpha);
    for (int r = 0; r < rows; ++r) {
      auto* to = reinterpret_cast<__m256i*>(base + r * strideBytes + 4 * std::ptrdiff_t{x});
      _mm256_stream_si256(to, v0);
      _mm256_stream_si256(to + 1, v1);
    }
  }
  for (; x + 8 <= width && 3 * std::ptrdiff_t{(col + x + 4) >> shift} + 16 <= rowBytes; x += 8) {
    const __m256i v = eightAvx2(in, shift, col, x, control, alpha);
    for (int r = 0; r < rows; ++r)
      _mm256_stream_si256(
          reinterpret_cast<__m256i*>(base + r * strideBytes + 4 * std::ptrdiff_t{x}), v);
  }
  return x;
}

}  // namespace

bool available() {
  return kHaveShuffles;
}

void copyRow(uint32_t* out, const uint32_t* in, int width) {
  int x = 0;
  for (; x < width && (reinterpret_cast<uintptr_t>(out + x) & 15) != 0; ++x) out[x] = in[x];
  for (; x + 4 <= width; x += 4)
    _mm_stream_si128(reinterpret_cast<__m128i*>(out + x),
                     _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + x)));
  for (; x < width; ++x) out[x] = in[x];
}

void scaledRows(const uint8_t* in, std::ptrdiff_t rowBytes, int scale, int col, int width,
                uint32_t* out, std::ptrdiff_t strideBytes, int rows) {
  const bool wide = useAvx2();
  const int align = wide ? 32 : 16;
  if (strideBytes % align != 0 && rows > 1) {  // rows aligned differently: one at a time
    for (int r = 0; r < rows; ++r)
      scaledRows(in, rowBytes, scale, col, width,
                 reinterpret_cast<uint32_t*>(reinterpret_cast<uint8_t*>(out) + r * strideBytes),
                 strideBytes, 1);
    return;
  }
  // AVX2 starts at a whole line of the first row (later rows at least 32-byte aligned).
  const int head = headPixels(out, wide ? 64 : 16, width);
  pixelsOneByOne(in, scale, col, 0, head, out, strideBytes, rows);
  const int done =
      wide ? vectorsAvx2(in, rowBytes, scale, col, head, width, out, strideBytes, rows)
           : vectorsSsse3(in, rowBytes, scale, col, head, width, out, strideBytes, rows);
  pixelsOneByOne(in, scale, col, done, width, out, strideBytes, rows);
}

void fence() {
  _mm_sfence();
}

#else

bool available() {
  return false;
}
void copyRow(uint32_t*, const uint32_t*, int) {}
void scaledRows(const uint8_t*, std::ptrdiff_t, int, int, int, uint32_t*, std::ptrdiff_t, int) {}
void fence() {}

#endif

}  // namespace vz::stream
