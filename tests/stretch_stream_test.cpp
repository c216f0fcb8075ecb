// SPDX-License-Identifier: GPL-3.0-or-later
// The large-picture stretch that goes around the caches, held pixel for pixel to the first
// stretch: both vector widths, either column phase of a doubled picture, destinations that
// start anywhere and rows padded to any length, parts of the picture, and nothing written
// outside the part asked for.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "engine/cpu_dispatch.h"
#include "engine/stretch.h"
#include "tests/reference_stretch.h"
#include "tests/test_frames.h"

namespace vz::test {
namespace {

constexpr uint32_t kUntouched = 0x12345678u;

struct StreamCase {
  int srcW, srcH, dstW, dstH;
  NearestStretch::Area area;  // empty: the whole destination
  int padPixels;              // destination row length minus its width
  int shiftPixels;            // where the destination starts past a 64-byte boundary
};

class StretchStreamTest : public testing::TestWithParam<bool> {
 protected:
  void SetUp() override { forcePortableKernels(GetParam()); }
  void TearDown() override { forcePortableKernels(false); }
};

TEST_P(StretchStreamTest, MatchesTheReferenceWhereverThePictureLies) {
  const StreamCase cases[] = {
      {1920, 1080, 3840, 2160, {}, 0, 0},  // a 1080p picture on a 4K projector
      {1920, 1080, 1920, 1080, {}, 0, 0},
      {37, 5, 74, 10, {}, 0, 0},
      {37, 5, 74, 10, {}, 3, 0},  // rows apart by no multiple of a vector
      {37, 5, 74, 10, {}, 8, 1},  // rows apart by whole vectors, starting mid-vector
      {37, 5, 74, 10, {}, 8, 7},
      {37, 5, 74, 10, {3, 1, 71, 9}, 8, 0},  // odd first column: each source pixel split
      {37, 5, 74, 10, {5, 0, 6, 10}, 2, 5},  // one column
      {64, 9, 128, 17, {1, 2, 127, 17}, 0, 3},
      {40, 30, 80, 45, {}, 0, 0},  // doubled across, one or two rows down
      {40, 30, 80, 90, {}, 5, 2},  // three rows each
      {37, 5, 37, 5, {}, 0, 0},
      {37, 5, 37, 5, {1, 1, 36, 4}, 1, 3},
      {100, 3, 100, 7, {}, 8, 4},
      {3, 2, 6, 4, {}, 0, 1},  // narrower than one vector
      {6, 2, 12, 4, {}, 0, 0},
      {33, 20, 100, 61, {}, 3, 1},  // no shuffle for this scale: widened, then copied out
      {33, 20, 100, 61, {7, 3, 99, 60}, 8, 0},
      {120, 80, 50, 30, {}, 0, 2},
  };
  NearestStretch streamed(0);  // every area goes around the caches
  for (const StreamCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.srcW << "x" << c.srcH << " to " << c.dstW << "x" << c.dstH
                                    << " part " << c.area.left << "," << c.area.top << " pad "
                                    << c.padPixels << " shift " << c.shiftPixels);
    const Frame src = randomFrame(c.srcW, c.srcH, static_cast<uint32_t>(c.dstW + c.dstH));
    Frame expected(static_cast<size_t>(c.dstW) * c.dstH * 3);
    referenceStretch(src.data(), c.srcW, c.srcH, expected.data(), c.dstW, c.dstH, c.dstW * 3);

    const int stride = c.dstW + c.padPixels;
    std::vector<uint32_t> storage(static_cast<size_t>(stride) * c.dstH + 32, kUntouched);
    const auto misalign = reinterpret_cast<uintptr_t>(storage.data()) & 63;
    uint32_t* dst = storage.data() + (64 - misalign) % 64 / 4 + c.shiftPixels;
    NearestStretch::Area area = c.area;
    if (area.right == 0) area = {0, 0, c.dstW, c.dstH};
    streamed.draw(src.data(), c.srcW, c.srcH, c.dstW, c.dstH, area,
                  dst + area.top * stride + area.left, stride * 4);

    for (size_t i = 0; i < storage.size(); ++i) {
      const std::ptrdiff_t at = storage.data() + i - dst;
      const int y = at >= 0 ? static_cast<int>(at / stride) : -1;
      const int x = at >= 0 ? static_cast<int>(at % stride) : -1;
      if (y < area.top || y >= area.bottom || x < area.left || x >= area.right) {
        ASSERT_EQ(storage[i], kUntouched) << "outside the part at " << x << "," << y;
        continue;
      }
      const uint8_t* e = expected.data() + (static_cast<size_t>(y) * c.dstW + x) * 3;
      ASSERT_EQ(storage[i], 0xff000000u | e[2] << 16 | e[1] << 8 | e[0]) << x << "," << y;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(WideAndNarrowVectors, StretchStreamTest, testing::Values(false, true),
                         [](const testing::TestParamInfo<bool>& info) {
                           return info.param ? "Narrow" : "Wide";
                         });

}  // namespace
}  // namespace vz::test
