// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vz {

// Draws a bottom-up frame of packed 3-byte pixels (blue, green, red) upright over a
// destination of any size, by nearest pixel: rows and columns are dropped or repeated, never
// blended. Destination pixel (x, y) shows picture pixel (x * srcW / dstW, y * srcH / dstH)
// counted from the top left. The destination holds 32-bit words 0xffRRGGBB in the machine's
// byte order, the layout window systems show without converting, so a window's own backing
// image can be drawn into directly. The column table is kept while the widths stay.
// An area of at least `streamFromBytes` (a 4K projector's picture: more than most machines'
// last-level cache) is written with stores that go around the caches, each source row read
// once for every destination row that repeats it. Smaller ones stay in the cache, where the
// flush that follows reads them back cheaply.
class NearestStretch {
 public:
  static constexpr std::size_t kStreamFromBytes = std::size_t{16} << 20;

  explicit NearestStretch(std::size_t streamFromBytes = kStreamFromBytes)
      : streamFromBytes_(streamFromBytes) {}

  struct Area {  // destination pixels [left, right) x [top, bottom)
    int left = 0, top = 0, right = 0, bottom = 0;
  };

  // Writes the area, clipped to the destination, and nothing else: `areaPixels` points at
  // the clipped area's top left pixel, and destination rows are `strideBytes` apart.
  void draw(const uint8_t* src, int srcWidth, int srcHeight, int dstWidth, int dstHeight, Area area,
            uint32_t* areaPixels, std::ptrdiff_t strideBytes);

 private:
  void buildColumns(int srcWidth, int dstWidth);
  // One destination row of `width` pixels from column `left`, from the source row `in`.
  void widenRow(const uint8_t* in, std::ptrdiff_t srcRowBytes, int scale, int left, int width,
                int wordEnd, uint32_t* out) const;

  std::size_t streamFromBytes_;
  std::vector<uint32_t> rowBuffer_;  // the widened row being streamed

  std::vector<uint32_t> columns_;  // byte offset in a source row of each destination column
  int columnsSrcWidth_ = 0;
  int columnsDstWidth_ = 0;
  int wordReadEnd_ = 0;  // columns before this may read 4 bytes without leaving the row
};

}  // namespace vz
