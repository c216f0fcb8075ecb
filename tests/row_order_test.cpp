// SPDX-License-Identifier: GPL-3.0-or-later
// Rows between GStreamer's top-down padded frames and the engine's bottom-up packed ones.
#include "engine/row_order.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace vz {
namespace {

// Frames whose rows are numbered: row y (top first) holds bytes y*16 + x.
std::vector<uint8_t> numberedRows(int rowBytes, int stride, int height) {
  std::vector<uint8_t> f(static_cast<size_t>(stride) * height, 0xEE);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < rowBytes; ++x) f[static_cast<size_t>(y) * stride + x] = uint8_t(y * 16 + x);
  return f;
}

TEST(RowOrderTest, PaddedRowsArePackedBottomRowFirstAndBack) {
  const int rowBytes = 9, stride = 12, height = 5;  // width 3: three filler bytes a row
  const auto src = numberedRows(rowBytes, stride, height);
  std::vector<uint8_t> dst(static_cast<size_t>(rowBytes) * height);
  packRowsBottomUp(src.data(), stride, dst.data(), rowBytes, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < rowBytes; ++x)
      EXPECT_EQ(dst[static_cast<size_t>(y) * rowBytes + x], uint8_t((height - 1 - y) * 16 + x));
  std::vector<uint8_t> back(src.size(), 0xEE);  // the way back leaves the filler alone
  unpackRowsBottomUp(dst.data(), rowBytes, back.data(), stride, height);
  EXPECT_EQ(back, src);
}

TEST(RowOrderTest, PackedRowsFlipInPlaceForOddEvenAndWideFrames) {
  for (int height : {1, 2, 5, 6}) {
    for (int rowBytes : {3, 966, 5760}) {  // up to a 1920-pixel row, wider than one chunk
      auto f = numberedRows(rowBytes, rowBytes, height);
      flipRowsInPlace(f.data(), rowBytes, height);
      for (int y = 0; y < height; ++y)
        for (int x = 0; x < rowBytes; x += 7)
          ASSERT_EQ(f[static_cast<size_t>(y) * rowBytes + x], uint8_t((height - 1 - y) * 16 + x))
              << height << " rows of " << rowBytes;
    }
  }
}

}  // namespace
}  // namespace vz
