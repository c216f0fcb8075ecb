// The AVX2 kernels and the portable ones, each held to the plain rules, on sizes that fill
// whole vector blocks and leave every kind of remainder. The second half of each run forces
// the portable code, so both stay tested on a machine with AVX2.
#include <gtest/gtest.h>

#include <random>

#include "engine/cpu_dispatch.h"
#include "engine/exact_division.h"
#include "engine/low_pass.h"
#include "engine/low_pass_divide.h"
#include "tests/reference_effects.h"
#include "tests/test_frames.h"

namespace vz::test {
namespace {

struct Size {
  int w, h;
};
constexpr Size kBlockSizes[] = {{32, 16}, {33, 17}, {64, 1}, {95, 31}, {130, 16}, {161, 35}};

class PortableOnly {
 public:
  explicit PortableOnly(bool on) { forcePortableKernels(on); }
  ~PortableOnly() { forcePortableKernels(false); }
};

TEST(SimdPaths, LowPassDivisionIsExactForEverySumOfEveryDivisor) {
  for (int n = 1; n <= 255; ++n) {
    const DivideBy d = divideBy(n);
    for (uint32_t s = 0; s <= 255u * n; ++s) {
      ASSERT_LE(s + d.bias, 65535u) << n;
      ASSERT_EQ(divideSum(s, d), s / n) << "n " << n << " s " << s;
    }
  }
}

TEST(SimdPaths, ConstantDivisionsAreExactOverTheirRanges) {
  for (uint32_t v = 0; v <= 65535; ++v) {
    ASSERT_EQ(divide3(v), v / 3) << v;
    ASSERT_EQ(divide12(v), v / 12) << v;
  }
  for (uint32_t v = 0; v <= 43689; ++v) ASSERT_EQ(divide100Small(v), v / 100) << v;
  for (uint32_t v = 0; v <= 174759; ++v) ASSERT_EQ(divide100(v), v / 100) << v;
}

// Values beyond a byte (not negative scales, which would index outside the palette), as the
// controls or a future source might set them: the kernels must
// still follow the plain rules, by vector or by the portable code.
TEST(SimdPaths, OutOfRangeSettingsMatch) {
  std::mt19937 gen(41);
  static VideoEngine e;
  const int floors[] = {-5, 300}, gains[] = {12, 300, 1000}, amounts[] = {-50, 100, 400};
  for (int mode : {1, 3, 5})
    for (int floor : floors)
      for (int gain : gains)
        for (int amount : amounts) {
          randomizeLook(e, gen);
          e.mode = static_cast<uint8_t>(mode);
          e.floor = floor;
          e.gainGreen = gain;
          e.outputRed = gain;
          e.colorAmount = amount;
          Frame expected = randomFrame(70, 18, gen());
          Frame actual = expected;
          referenceProcessFrame(e, expected.data(), 70, 18);
          e.processFrame(actual.data(), 70, 18);
          ASSERT_EQ(actual, expected)
              << "mode " << mode << " floor " << floor << " gain " << gain << " amount " << amount;
        }
}

TEST(SimdPaths, EveryModeMatchesOnBothPaths) {
  for (bool portable : {false, true}) {
    PortableOnly scope(portable);
    std::mt19937 gen(portable ? 21 : 23);
    static VideoEngine e;
    for (int mode = 0; mode <= 9; ++mode) {
      for (int trial = 0; trial < 10; ++trial) {
        randomizeLook(e, gen);
        if (trial % 2) setUnity(e);  // in-range settings as the controls give them
        e.mode = static_cast<uint8_t>(mode);
        e.mirror = static_cast<uint8_t>(trial % 3 == 0 ? 0 : 1);
        for (const Size& s : kBlockSizes) {
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

TEST(SimdPaths, LowPassMatchesOnBothPathsForEveryDivisor) {
  for (bool portable : {false, true}) {
    PortableOnly scope(portable);
    std::mt19937 gen(31);
    for (int n = 1; n <= 255; ++n) {
      const int divisors[3] = {n, 1 + (n * 7) % 255, 256 - n};
      for (bool white : {false, true}) {
        const int w = 97 + n % 7, h = 17 + n % 5;
        Frame expected = white ? uniformFrame(w, h, 255, 255, 255) : randomFrame(w, h, gen());
        Frame actual = expected;
        Frame plane(expected.begin(), expected.begin() + w * h);
        Frame expectedPlane = plane;
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
    }
  }
}

}  // namespace
}  // namespace vz::test
