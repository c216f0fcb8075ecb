// The kernels take shortcuts (snapshots, reciprocals, packed planes, reversed walks); each
// must give exactly the bytes of the plain step-by-step rules.
#include <gtest/gtest.h>

#include <random>

#include "engine/low_pass.h"
#include "tests/reference_effects.h"
#include "tests/test_frames.h"

namespace vz::test {
namespace {

struct Size {
  int w, h;
};
constexpr Size kSizes[] = {{1, 1}, {2, 2}, {3, 3},  {1, 7},   {7, 1},   {5, 4},    {17, 9},
                           {4, 2}, {2, 5}, {49, 3}, {322, 7}, {64, 48}, {385, 19}, {700, 6}};

TEST(FastPaths, EveryModeMatchesThePlainRulesForAnyLook) {
  std::mt19937 gen(7);
  static VideoEngine e;
  for (int mode : {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 77, 255}) {
    for (int trial = 0; trial < 12; ++trial) {
      randomizeLook(e, gen);
      e.mode = static_cast<uint8_t>(mode);
      e.mirror = static_cast<uint8_t>(trial % 3 == 0 ? 0 : gen() & 0xFF);
      for (const Size& s : kSizes) {
        Frame expected = randomFrame(s.w, s.h, gen());
        Frame actual = expected;
        referenceProcessFrame(e, expected.data(), s.w, s.h);
        e.processFrame(actual.data(), s.w, s.h);
        ASSERT_EQ(actual, expected)
            << "mode " << mode << " trial " << trial << " size " << s.w << "x" << s.h;
      }
    }
  }
}

TEST(FastPaths, LowPassMatchesForEveryDivisorIncludingSaturatedSums) {
  std::mt19937 gen(11);
  for (int n = 1; n <= 255; ++n) {
    const int divisors[3] = {n, 1 + (n * 7) % 255, 256 - n};  // blue, green, red
    for (bool white : {false, true}) {
      const int w = 53 + n % 5, h = 11 + n % 3;
      Frame expected = white ? uniformFrame(w, h, 255, 255, 255) : randomFrame(w, h, gen());
      Frame actual = expected;
      for (int c = 0; c < 3; ++c) referenceLowPass(expected.data(), w, h, c, divisors[c]);
      lowPassFilter(actual.data(), w, h, kFilterAll, divisors);
      ASSERT_EQ(actual, expected) << "divisor " << n;
    }
  }
}

TEST(FastPaths, Lut2MatchesForEveryDivisor) {
  std::mt19937 gen(13);
  static VideoEngine e;
  setUnity(e);
  e.mode = 5;
  e.lutMaskRed = 15;
  for (int n = 1; n <= 255; ++n) {
    e.lowPassRed = n;
    Frame expected = randomFrame(31, 13, gen());
    Frame actual = expected;
    referenceProcessFrame(e, expected.data(), 31, 13);
    e.processFrame(actual.data(), 31, 13);
    ASSERT_EQ(actual, expected) << "divisor " << n;
  }
}

TEST(FastPaths, PartialChannelSelectionFiltersOnlyThoseChannels) {
  const int divisors[3] = {3, 0, 9};  // green's divisor is off
  Frame expected = randomFrame(29, 17, 5);
  Frame actual = expected;
  referenceLowPass(expected.data(), 29, 17, 2, 9);
  lowPassFilter(actual.data(), 29, 17, kFilterRed | kFilterGreen, divisors);
  EXPECT_EQ(actual, expected);
}

}  // namespace
}  // namespace vz::test
