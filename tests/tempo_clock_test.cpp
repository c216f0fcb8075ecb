// SPDX-License-Identifier: GPL-3.0-or-later
#include "tempo/tempo_clock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <limits>
#include <thread>

namespace vz {
namespace {

constexpr std::int64_t kSecond = 1'000'000'000;

TEST(TempoClock, BeatsFollowTheTempoFromTheAnchor) {
  struct Case {
    double bpm;
    std::int64_t anchorNs;
    double anchorBeat;
    std::int64_t atNs;
    double beat;
  };
  const Case cases[] = {
      {120, 0, 0, kSecond, 2.0},
      {120, 5 * kSecond, 8, 4 * kSecond, 6.0},  // before the anchor: earlier beats
      {90, kSecond, 0.5, 3 * kSecond, 3.5},
      {128, 0, 0, 60 * kSecond, 128.0},
  };
  for (const Case& c : cases) {
    TempoClock clock;
    clock.set(c.bpm, c.anchorNs, c.anchorBeat);
    const TempoState s = clock.read();
    ASSERT_TRUE(s.running);
    EXPECT_DOUBLE_EQ(beatAt(s, c.atNs), c.beat) << c.bpm;
    EXPECT_NEAR(static_cast<double>(timeOfBeat(s, c.beat)), static_cast<double>(c.atNs), 1.0);
  }
}

TEST(TempoClock, StopHoldsTheBeatAndNonsenseTempoStops) {
  TempoClock clock;
  EXPECT_FALSE(clock.read().running);
  const std::int64_t now = steadyNowNs();
  clock.set(120, now, 3.0);
  clock.stop();
  const TempoState stopped = clock.read();
  EXPECT_FALSE(stopped.running);
  EXPECT_GE(stopped.anchorBeat, 3.0);
  EXPECT_LT(stopped.anchorBeat, 3.0 + 2.0);  // held where it stopped, not reset
  EXPECT_DOUBLE_EQ(beatAt(stopped, now + 100 * kSecond), stopped.anchorBeat);

  for (double bad : {0.0, -5.0, std::numeric_limits<double>::infinity(),
                     std::numeric_limits<double>::quiet_NaN()}) {
    clock.set(120, now, 0);
    clock.set(bad, now, 0);
    EXPECT_FALSE(clock.read().running) << bad;
  }
  clock.setPeers(3);
  EXPECT_EQ(clock.read().peers, 3);
}

// A reader on another thread never sees half of one write and half of the next.
TEST(TempoClock, ReadersSeeWholeStatesWhileWritersChangeThem) {
  TempoClock clock;
  std::atomic<bool> done{false};
  std::thread writer([&] {
    for (int i = 1; i <= 20000; ++i) clock.set(60.0 + i % 100, i * 1000, (i % 100) * 2.0);
    done = true;
  });
  std::thread stopper([&] {
    while (!done.load()) clock.setPeers(1);
  });
  int torn = 0;
  while (!done.load()) {
    const TempoState s = clock.read();
    if (s.running && s.anchorBeat != (s.bpm - 60.0) * 2.0) ++torn;
  }
  writer.join();
  stopper.join();
  EXPECT_EQ(torn, 0);
}

}  // namespace
}  // namespace vz
