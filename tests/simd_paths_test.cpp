// SPDX-License-Identifier: GPL-3.0-or-later
// The divisions and the low-pass filter behind the kernels' shortcuts: exactly the bytes of
// the plain rules, on both kernel paths (every mode is EveryMode's, in frame_split_test.cpp).
#include <gtest/gtest.h>

#include <random>

#include "engine/exact_division.h"
#include "engine/low_pass.h"
#include "engine/low_pass_divide.h"
#include "tests/reference_effects.h"
#include "tests/test_frames.h"

namespace vz::test {
namespace {

TEST(SimdPaths, DivisionsAreExactOverTheirRanges) {
  for (int n = 1; n <= 255; ++n) {
    const DivideBy d = divideBy(n);
    for (uint32_t s = 0; s <= 255u * n; ++s) {
      ASSERT_LE(s + d.bias, 65535u) << n;
      ASSERT_EQ(divideSum(s, d), s / n) << "n " << n << " s " << s;
    }
  }
  for (uint32_t v = 0; v <= 65535; ++v) {
    ASSERT_EQ(divide3(v), v / 3) << v;
    ASSERT_EQ(divide12(v), v / 12) << v;
  }
  for (uint32_t v = 0; v <= 43689; ++v) ASSERT_EQ(divide100Small(v), v / 100) << v;
  for (uint32_t v = 0; v <= 174759; ++v) ASSERT_EQ(divide100(v), v / 100) << v;
}

// Every divisor, on random and on all-white frames (the largest sums), for the packed
// filter, a single plane, and LUT2's own filter.
TEST(SimdPaths, LowPassMatchesOnBothPathsForEveryDivisor) {
  for (bool portable : {false, true}) {
    KernelScope scope(portable);
    std::mt19937 gen(31);
    static VideoEngine lut2;
    setUnity(lut2);
    lut2.mode = 5;
    lut2.lutMaskRed = 15;
    for (int n = 1; n <= 255; ++n) {
      const int divisors[3] = {n, 1 + (n * 7) % 255, 256 - n};  // blue, green, red
      for (bool white : {false, true}) {
        const int w = 97 + n % 7, h = 17 + n % 5;
        Frame expected = white ? uniformFrame(w, h, 255, 255, 255) : randomFrame(w, h, gen());
        Frame actual = expected;
        Frame plane(expected.begin(), expected.begin() + w * h);
        for (int c = 0; c < 3; ++c) referenceLowPass(expected.data(), w, h, c, divisors[c]);
        lowPassFilter(actual.data(), w, h, kFilterAll, divisors);
        ASSERT_EQ(actual, expected) << "portable " << portable << " divisor " << n;

        // A plane is one channel: its reference is the packed filter on a one-byte pixel.
        Frame widened(plane.size() * 3);
        for (size_t i = 0; i < plane.size(); ++i) widened[3 * i] = plane[i];
        referenceLowPass(widened.data(), w, h, 0, n);
        lowPassPlane(plane.data(), w, h, n);
        for (size_t i = 0; i < plane.size(); ++i)
          ASSERT_EQ(plane[i], widened[3 * i]) << "portable " << portable << " plane " << n;
      }
      lut2.lowPassRed = n;
      Frame expected = randomFrame(31, 13, gen());
      Frame actual = expected;
      referenceProcessFrame(lut2, expected.data(), 31, 13);
      lut2.processFrame(actual.data(), 31, 13);
      ASSERT_EQ(actual, expected) << "portable " << portable << " LUT2 divisor " << n;
    }
  }
}

TEST(SimdPaths, PartialChannelSelectionFiltersOnlyThoseChannels) {
  const int divisors[3] = {3, 0, 9};  // green's divisor is off
  Frame expected = randomFrame(29, 17, 5);
  Frame actual = expected;
  referenceLowPass(expected.data(), 29, 17, 2, 9);
  lowPassFilter(actual.data(), 29, 17, kFilterRed | kFilterGreen, divisors);
  EXPECT_EQ(actual, expected);
}

}  // namespace
}  // namespace vz::test
