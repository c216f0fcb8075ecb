#include "engine/stretch.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace vz {

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
  const uint32_t* columns = columns_.data() + left;  // indexed from the area's left edge
  const int width = right - left;
  const int wordEnd = std::clamp(wordReadEnd_, left, right) - left;
  const uint8_t* previousSource = nullptr;
  for (int y = top; y < bottom; ++y) {
    uint8_t* row = firstRow + (y - top) * strideBytes;
    const int fromTop = static_cast<int>(static_cast<int64_t>(y) * srcHeight / dstHeight);
    const uint8_t* in = src + (srcHeight - 1 - fromTop) * srcRowBytes;
    if (in == previousSource) {  // a repeated row: copy the one just drawn
      std::memcpy(row, row - strideBytes, static_cast<size_t>(width) * 4);
      continue;
    }
    previousSource = in;
    auto* out = reinterpret_cast<uint32_t*>(row);
    int x = 0;
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
}

}  // namespace vz
