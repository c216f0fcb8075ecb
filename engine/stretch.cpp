// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/stretch.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

#include "engine/stretch_stream.h"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace vz {
namespace {

#if defined(__x86_64__)
// The two common scales, same width and twice the width, by byte shuffles: four source
// pixels per 16-byte load. Returns how many of the `width` destination pixels from `left`
// it wrote; the caller does the rest. Reads stay inside the row of `rowBytes`.
__attribute__((target("ssse3"))) int shuffleRow(const uint8_t* in, std::ptrdiff_t rowBytes,
                                                int scale, int left, int width, uint32_t* out) {
  const __m128i alpha = _mm_set1_epi32(static_cast<int>(0xff000000u));
  int x = 0;
  if (scale == 1) {
    const __m128i spread = _mm_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
    for (; x + 4 <= width && 3 * std::ptrdiff_t{left + x} + 16 <= rowBytes; x += 4) {
      const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 3 * (left + x)));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x),
                       _mm_or_si128(_mm_shuffle_epi8(p, spread), alpha));
    }
    return x;
  }
  const __m128i low = _mm_setr_epi8(0, 1, 2, -1, 0, 1, 2, -1, 3, 4, 5, -1, 3, 4, 5, -1);
  const __m128i high = _mm_setr_epi8(6, 7, 8, -1, 6, 7, 8, -1, 9, 10, 11, -1, 9, 10, 11, -1);
  if (left & 1) return 0;  // pairs must start on an even column
  for (; x + 8 <= width && 3 * std::ptrdiff_t{(left + x) / 2} + 16 <= rowBytes; x += 8) {
    const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 3 * ((left + x) / 2)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x),
                     _mm_or_si128(_mm_shuffle_epi8(p, low), alpha));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x + 4),
                     _mm_or_si128(_mm_shuffle_epi8(p, high), alpha));
  }
  return x;
}

const bool kHaveShuffles = __builtin_cpu_supports("ssse3");
#endif

}  // namespace

void NearestStretch::buildColumns(int srcWidth, int dstWidth) {
  columns_.resize(static_cast<size_t>(dstWidth));
  wordReadEnd_ = dstWidth;
  for (int x = 0; x < dstWidth; ++x) {
    const int from = static_cast<int>(static_cast<int64_t>(x) * srcWidth / dstWidth);
    columns_[static_cast<size_t>(x)] = static_cast<uint32_t>(from) * 3;
    if (from == srcWidth - 1 && wordReadEnd_ == dstWidth) wordReadEnd_ = x;
  }
  columnsSrcWidth_ = srcWidth;
  columnsDstWidth_ = dstWidth;
}

void NearestStretch::widenRow(const uint8_t* in, std::ptrdiff_t srcRowBytes, int scale, int left,
                              int width, int wordEnd, uint32_t* out) const {
  const uint32_t* columns = columns_.data() + left;  // indexed from the area's left edge
  int x = 0;
#if defined(__x86_64__)
  if (scale != 0) x = shuffleRow(in, srcRowBytes, scale, left, width, out);
#else
  (void)srcRowBytes, (void)scale;
#endif
  if constexpr (std::endian::native == std::endian::little) {
    // One 4-byte read per pixel; its spare top byte becomes the opaque alpha.
    for (; x < wordEnd; ++x) {
      uint32_t word;
      std::memcpy(&word, in + columns[x], 4);
      out[x] = word | 0xff000000u;
    }
  }
  for (; x < width; ++x) {
    const uint8_t* p = in + columns[x];
    out[x] = 0xff000000u | uint32_t{p[2]} << 16 | uint32_t{p[1]} << 8 | p[0];
  }
}

void NearestStretch::draw(const uint8_t* src, int srcWidth, int srcHeight, int dstWidth,
                          int dstHeight, Area area, uint32_t* areaPixels,
                          std::ptrdiff_t strideBytes) {
  if (srcWidth <= 0 || srcHeight <= 0 || dstWidth <= 0 || dstHeight <= 0) return;
  const int left = std::max(area.left, 0), right = std::min(area.right, dstWidth);
  const int top = std::max(area.top, 0), bottom = std::min(area.bottom, dstHeight);
  if (left >= right || top >= bottom) return;
  if (srcWidth != columnsSrcWidth_ || dstWidth != columnsDstWidth_)
    buildColumns(srcWidth, dstWidth);

  auto* firstRow = reinterpret_cast<uint8_t*>(areaPixels);
  const std::ptrdiff_t srcRowBytes = static_cast<std::ptrdiff_t>(srcWidth) * 3;
  const int width = right - left;
  const int wordEnd = std::clamp(wordReadEnd_, left, right) - left;
  const auto sourceRow = [&](int y) {  // counted from the top
    return static_cast<int>(static_cast<int64_t>(y) * srcHeight / dstHeight);
  };
  const auto rowAt = [&](int y) {
    return reinterpret_cast<uint32_t*>(firstRow + (y - top) * strideBytes);
  };
  int scale = 0;  // a scale the shuffles handle, or 0
#if defined(__x86_64__)
  if (kHaveShuffles && (dstWidth == srcWidth || dstWidth == 2 * srcWidth))
    scale = dstWidth / srcWidth;
#endif
  if (stream::available() &&
      static_cast<uint64_t>(width) * static_cast<uint64_t>(bottom - top) * 4 >= streamFromBytes_) {
    // Each source row is read once for all the destination rows that repeat it.
    const bool direct = scale != 0 && (reinterpret_cast<uintptr_t>(areaPixels) & 3) == 0;
    if (!direct) rowBuffer_.resize(static_cast<size_t>(width));
    for (int y = top; y < bottom;) {
      const int fromTop = sourceRow(y);
      const uint8_t* in = src + (srcHeight - 1 - fromTop) * srcRowBytes;
      int rows = 1;
      while (y + rows < bottom && sourceRow(y + rows) == fromTop) ++rows;
      if (direct) {
        stream::scaledRows(in, srcRowBytes, scale, left, width, rowAt(y), strideBytes, rows);
      } else {  // widened once where it stays in the cache, then copied out
        widenRow(in, srcRowBytes, scale, left, width, wordEnd, rowBuffer_.data());
        for (int r = 0; r < rows; ++r) stream::copyRow(rowAt(y + r), rowBuffer_.data(), width);
      }
      y += rows;
    }
    stream::fence();
    return;
  }
  const uint8_t* previousSource = nullptr;
  for (int y = top; y < bottom; ++y) {
    uint32_t* out = rowAt(y);
    const uint8_t* in = src + (srcHeight - 1 - sourceRow(y)) * srcRowBytes;
    if (in == previousSource) {  // a repeated row: copy the one just drawn
      std::memcpy(out, rowAt(y - 1), static_cast<size_t>(width) * 4);
      continue;
    }
    previousSource = in;
    widenRow(in, srcRowBytes, scale, left, width, wordEnd, out);
  }
}

}  // namespace vz
