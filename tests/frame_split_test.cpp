// SPDX-License-Identifier: GPL-3.0-or-later
// Large frames are shared between the streaming thread and the engine's worker: every mode
// must give the same bytes as the plain rules, on both kernel paths, wherever the split
// falls (odd sizes, runs that overlap the boundary, passes that carry sums down columns).
#include <gtest/gtest.h>

#include <random>
#include <thread>

#include "tests/reference_effects.h"
#include "tests/test_frames.h"

namespace vz::test {
namespace {

constexpr Size kSizes[] = {{2, 2}, {3, 3}, {5, 4}, {7, 33}, {64, 48}, {97, 35}, {161, 70}};

Frame expectedFor(const VideoEngine& e, const Frame& in, Size s) {
  Frame out = in;
  referenceProcessFrame(e, out.data(), s.w, s.h);
  return out;
}

TEST(FrameSplit, EveryModeMatchesThePlainRulesOnBothPaths) {
  for (bool portable : {false, true}) {
    KernelScope scope(portable, FrameSplit::Always);
    std::mt19937 gen(portable ? 3 : 4);
    static VideoEngine e;
    for (int mode : {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 12}) {
      for (int trial = 0; trial < 6; ++trial) {
        randomizeLook(e, gen);
        if (trial == 1) setUnity(e);
        if (trial == 2) e.lowPassGreen = 0;  // no filter: Overflow shared by rows
        e.mode = static_cast<uint8_t>(mode);
        e.mirror = static_cast<uint8_t>(trial % 2);
        for (const Size& s : kSizes) {
          const Frame in = randomFrame(s.w, s.h, gen());
          Frame actual = in;
          e.processFrame(actual.data(), s.w, s.h);
          ASSERT_EQ(actual, expectedFor(e, in, s))
              << "portable " << portable << " mode " << mode << " trial " << trial << " " << s.w
              << "x" << s.h;
        }
      }
    }
  }
}

// Two streaming threads on one engine: one holds the worker, the other works alone.
TEST(FrameSplit, ConcurrentFramesOnOneEngineStayExact) {
  KernelScope scope(false, FrameSplit::Always);
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
