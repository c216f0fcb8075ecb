// SPDX-License-Identifier: GPL-3.0-or-later
// The kernels take shortcuts (snapshots, reciprocals, packed planes, reversed walks, AVX2) and
// large frames are shared between the streaming thread and the engine's worker: every mode
// must give exactly the bytes of the plain step-by-step rules on both kernel paths, whole or
// split, on sizes that fill whole vector blocks and leave every kind of remainder (runs that
// overlap the split, passes that carry sums down columns).
#include <gtest/gtest.h>

#include <ostream>
#include <random>
#include <thread>

#include "tests/reference_effects.h"
#include "tests/test_frames.h"

namespace vz::test {
namespace {

constexpr Size kSizes[] = {{1, 1},   {2, 5},   {3, 3},    {7, 1},    {5, 4},   {7, 33},
                           {17, 9},  {32, 16}, {33, 17},  {64, 1},   {64, 48}, {95, 31},
                           {97, 35}, {49, 3},  {130, 16}, {161, 35}, {322, 7}, {385, 19}};

Frame expectedFor(const VideoEngine& e, Frame f, Size s) {
  referenceProcessFrame(e, f.data(), s.w, s.h);
  return f;
}

struct Paths {
  bool portable;
  FrameSplit split;
};
void PrintTo(const Paths& p, std::ostream* os) {
  *os << (p.portable ? "Portable" : "Simd") << (p.split == FrameSplit::Always ? "Split" : "Whole");
}

class EveryMode : public testing::TestWithParam<Paths> {};

// Any look a bank can hold, in-range looks as the controls give them, looks without the
// filter, and values beyond a byte as the controls or a future source might set them (not
// negative scales, which would index outside the palette, in the modes that scale); modes
// past the last one must leave frames as the rules do.
TEST_P(EveryMode, MatchesThePlainRulesForAnyLook) {
  const KernelScope scope(GetParam().portable, GetParam().split);
  std::mt19937 gen(GetParam().portable ? 21 : 23);
  static VideoEngine e;
  for (int mode : {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 12, 77, 255}) {
    for (int trial = 0; trial < 8; ++trial) {
      randomizeLook(e, gen);
      if (trial % 4 == 1) setUnity(e);
      if (trial == 2) e.lowPassGreen = 0;  // no filter: Overflow shared by rows
      if (trial % 4 == 3 && (mode == 1 || mode == 3 || mode == 5)) {
        e.floor = trial == 3 ? -5 : 300;
        e.gainGreen = e.outputRed = trial == 3 ? 300 : 1000;
        e.colorAmount = trial == 3 ? -50 : 400;
      }
      e.mode = static_cast<uint8_t>(mode);
      e.mirror = static_cast<uint8_t>(trial % 3 == 0 ? 0 : gen() & 0xFF);
      for (const Size& s : kSizes) {
        const Frame in = randomFrame(s.w, s.h, gen());
        Frame actual = in;
        e.processFrame(actual.data(), s.w, s.h);
        ASSERT_EQ(actual, expectedFor(e, in, s))
            << "mode " << mode << " trial " << trial << " size " << s.w << "x" << s.h;
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Paths, EveryMode,
                         testing::Values(Paths{false, FrameSplit::Never},
                                         Paths{true, FrameSplit::Never},
                                         Paths{false, FrameSplit::Always},
                                         Paths{true, FrameSplit::Always}),
                         testing::PrintToStringParamName());

// Two streaming threads on one engine: one holds the worker, the other works alone.
TEST(FrameSplit, ConcurrentFramesOnOneEngineStayExact) {
  const KernelScope scope(false, FrameSplit::Always);
  static VideoEngine e;
  std::mt19937 gen(9);
  randomizeLook(e, gen);
  e.mode = 1;
  e.lowPassRed = e.lowPassGreen = e.lowPassBlue = 5;
  e.mirror = 1;
  const Size s{97, 35};
  const Frame in = randomFrame(s.w, s.h, 17);
  const Frame expected = expectedFor(e, in, s);
  VideoEngine copy = e;  // a worker of its own
  int wrong[3] = {};
  auto stream = [&](const VideoEngine& engine, int& bad) {
    for (int i = 0; i < 200; ++i) {
      Frame f = in;
      engine.processFrame(f.data(), s.w, s.h);
      bad += f != expected;
    }
  };
  std::thread a([&] { stream(e, wrong[0]); });
  std::thread b([&] { stream(e, wrong[1]); });
  stream(copy, wrong[2]);
  a.join();
  b.join();
  EXPECT_EQ(wrong[0] + wrong[1] + wrong[2], 0);
}

}  // namespace
}  // namespace vz::test
