// SPDX-License-Identifier: GPL-3.0-or-later
// The kernels take shortcuts (snapshots, reciprocals, packed planes, reversed walks, AVX2);
// each must give exactly the bytes of the plain step-by-step rules, on sizes that fill whole
// vector blocks and leave every kind of remainder. Every run is repeated with the portable
// code forced, so both stay tested on a machine with AVX2.
#include <gtest/gtest.h>

#include <random>

#include "engine/exact_division.h"
#include "engine/low_pass.h"
#include "engine/low_pass_divide.h"
#include "tests/reference_effects.h"
#include "tests/test_frames.h"

namespace vz::test {
namespace {

constexpr Size kSizes[] = {{1, 1},    {2, 5},    {3, 3},   {7, 1},  {5, 4},
                           {17, 9},   {32, 16},  {33, 17}, {64, 1}, {95, 31},
                           {130, 16}, {161, 35}, {322, 7}, {49, 3}, {385, 19}};

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

// Any look a bank can hold, in-range looks as the controls give them, and values beyond a
// byte as the controls or a future source might set them (not negative scales, which would
// index outside the palette, in the modes that scale); modes past the last one must leave
// frames as the rules do.
TEST(SimdPaths, EveryModeMatchesOnBothPathsForAnyLook) {
  for (bool portable : {false, true}) {
    KernelScope scope(portable);
    std::mt19937 gen(portable ? 21 : 23);
    static VideoEngine e;
    for (int mode : {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 77, 255}) {
      for (int trial = 0; trial < 8; ++trial) {
        randomizeLook(e, gen);
        if (trial % 4 == 1) setUnity(e);
        if (trial % 4 == 3 && (mode == 1 || mode == 3 || mode == 5)) {
          e.floor = trial == 3 ? -5 : 300;
          e.gainGreen = e.outputRed = trial == 3 ? 300 : 1000;
          e.colorAmount = trial == 3 ? -50 : 400;
        }
        e.mode = static_cast<uint8_t>(mode);
        e.mirror = static_cast<uint8_t>(trial % 3 == 0 ? 0 : gen() & 0xFF);
        for (const Size& s : kSizes) {
          Frame expected = randomFrame(s.w, s.h, gen());
          Frame actual = expected;
          referenceProcessFrame(e, expected.data(), s.w, s.h);
          e.processFrame(actual.data(), s.w, s.h);
          ASSERT_EQ(actual, expected) << "portable " << portable << " mode " << mode << " trial "
                                      << trial << " size " << s.w << "x" << s.h;
        }
      }
    }
  }
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
