// SPDX-License-Identifier: GPL-3.0-or-later
// The pacer that puts source frames on the outputs' grid, driven as the stage's thread drives
// it (woken by each frame and at each deadline) on made-up times: a source at the output's
// rate lands every frame exactly once whatever its jitter and clock drift; a slower one only
// repeats, a faster one only drops; a stall repeats; a late stage skips rather than bursts.
#include "output/frame_pacer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

namespace vz::test {
namespace {

constexpr int64_t kMs = 1000000, kP = 33333333;  // the outputs' period: 30 a second

struct Paced {
  std::vector<int> slots;  // the frame (its index) each slot holds; -1: nothing yet
  int dropped = 0;
  int repeats = 0;
};

// Frames k = 0, 1, ... arrive at the given times; the stage wakes at each arrival and at each
// deadline (once late by stageLate, at the first deadline from lateFrom on) until the last
// frame.
Paced drive(const std::vector<int64_t>& arrivals, int64_t stageLate = 0, int64_t lateFrom = -1) {
  FramePacer pacer(kP, arrivals.empty() ? 0 : arrivals.front() - kP / 2);
  FramePacer::Actions actions;
  Paced run;
  int last = -1, waiting = -1;
  size_t next = 0;
  auto apply = [&](int arrived) {
    for (const FramePacer::Action a : actions) {
      switch (a) {
        case FramePacer::Action::SendArrived:
          run.slots.push_back(last = arrived);
          break;
        case FramePacer::Action::HoldArrived:
          waiting = arrived;
          break;
        case FramePacer::Action::DropWaiting:
          ++run.dropped;
          waiting = -1;
          break;
        case FramePacer::Action::SendWaiting:
          run.slots.push_back(last = waiting);
          waiting = -1;
          break;
        case FramePacer::Action::Repeat:
          run.slots.push_back(last);
          ++run.repeats;
          break;
      }
    }
    actions.clear();
  };
  int64_t heldUntil = -1;
  for (;;) {
    int64_t deadline = pacer.nextDeadline();
    if (lateFrom >= 0 && deadline >= lateFrom) {
      heldUntil = deadline + stageLate;  // the stage's thread was held up once
      lateFrom = -1;
    }
    deadline = std::max(deadline, heldUntil);
    if (next < arrivals.size() && arrivals[next] <= deadline) {
      pacer.frameArrived(arrivals[next], actions);
      apply(static_cast<int>(next++));
      if (next == arrivals.size()) break;
    } else {
      pacer.advanceTo(deadline, actions);
      apply(-1);
    }
  }
  EXPECT_EQ(run.slots.size(), pacer.slots());
  return run;
}

// Times of frames at the given period, each late by up to jitter, with the source's clock
// running fast or slow by drift (parts per million).
std::vector<int64_t> source(int64_t period, int frames, int64_t jitter, int drift, unsigned seed) {
  std::mt19937 gen(seed);
  std::uniform_int_distribution<int64_t> late(0, jitter);
  std::vector<int64_t> t;
  for (int k = 0; k < frames; ++k)
    t.push_back(100 * kMs + k * period + k * period / 1000000 * drift + late(gen));
  return t;
}

int steps(const std::vector<int>& slots, int step) {
  int n = 0;
  for (size_t i = 1; i < slots.size(); ++i) n += slots[i] - slots[i - 1] == step;
  return n;
}

TEST(FramePacer, EachFrameOnceAtTheRateOnlyRepeatsWhenSlowerOnlyDropsWhenFaster) {
  const struct {
    const char* name;
    int fps;
    int64_t jitter;
    int drift;
    int repeats, dropped;  // in 100 s (3000 slots), about; none at all where 0
  } cases[] = {
      {"steady", 30, 0, 0, 0, 0},
      {"late by up to half a period", 30, kP / 2, 0, 0, 0},
      {"late by up to 70% of a period", 30, kP * 7 / 10, 0, 0, 0},
      {"clock 0.3% fast", 30, kP / 4, 3000, 0, 0},
      {"clock 0.3% slow", 30, kP / 4, -3000, 0, 0},
      {"NTSC rate into 30", 30, 0, -999, 0, 0},  // 30000/1001
      {"25 into 30", 25, 2 * kMs, 0, 500, 0},
      {"24 into 30", 24, 2 * kMs, 0, 600, 0},
      {"60 into 30", 60, 2 * kMs, 0, 0, 3000},
      {"50 into 30", 50, 2 * kMs, 0, 0, 2000},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const int frames = c.fps * 100;
    const Paced run = drive(source(1000000000 / c.fps, frames, c.jitter, c.drift, 7));
    // Every frame goes out at most once, in order; at the output's rate each exactly once.
    EXPECT_EQ(steps(run.slots, 0), run.repeats);
    for (size_t i = 1; i < run.slots.size(); ++i) ASSERT_GE(run.slots[i], run.slots[i - 1]);
    EXPECT_NEAR(static_cast<double>(run.slots.size()), 3000, c.fps == 30 ? 0 : 2);
    EXPECT_NEAR(run.repeats, c.repeats, c.repeats > 0 ? 3 : 0);
    EXPECT_NEAR(run.dropped + (frames - 1 - run.slots.back()), c.dropped, c.dropped > 0 ? 3 : 0);
  }
}

TEST(FramePacer, OnlyAStallRepeatsAndOnlyTheStagesOwnDelayDrops) {
  std::vector<int64_t> t = source(kP, 100, 0, 0, 1);
  const auto stallAfter = [&](int k, int64_t gap) {
    std::vector<int64_t> s = t;
    for (size_t i = k + 1; i < s.size(); ++i) s[i] += gap - kP;
    return s;
  };
  // In phase, a frame comes half a period into its window: the next may come up to 1.5
  // periods after it before its slot has to repeat the last.
  EXPECT_EQ(drive(stallAfter(50, kP * 14 / 10)).repeats, 0);
  EXPECT_EQ(drive(stallAfter(50, kP * 16 / 10)).repeats, 1);
  EXPECT_EQ(drive(stallAfter(50, kP * 2)).repeats, 1);
  EXPECT_EQ(drive(stallAfter(50, kP * 5)).repeats, 4);

  // The stage's thread held up for ten periods: the frames that came meanwhile are gone
  // but one (the streaming thread's slot keeps the newest), and no burst of repeats follows.
  std::vector<int64_t> kept;
  for (size_t k = 0; k < t.size(); ++k)
    if (k <= 40 || k >= 50) kept.push_back(t[k]);
  const Paced late = drive(kept, 10 * kP, t[40]);
  EXPECT_EQ(late.dropped, 0);
  EXPECT_LE(late.repeats, 1);
  EXPECT_LE(late.slots.size(), kept.size() + 1);
}

TEST(FramePacer, AFrameAfterAPauseGoesOutAtOnceAndSetsThePhase) {
  FramePacer pacer(kP, 0);
  FramePacer::Actions a;
  for (int i = 1; i <= 10; ++i) pacer.advanceTo(i * kP, a);  // ten slots of nothing: black
  EXPECT_EQ(a, FramePacer::Actions(10, FramePacer::Action::Repeat));
  a.clear();
  const int64_t t = 10 * kP + kP * 9 / 10;  // late in its window
  pacer.frameArrived(t, a);
  EXPECT_EQ(a, FramePacer::Actions{FramePacer::Action::SendArrived});
  // The grid now expects the next frame a period on; it comes and goes out at once.
  a.clear();
  pacer.frameArrived(t + kP, a);
  EXPECT_EQ(a, FramePacer::Actions{FramePacer::Action::SendArrived});
  EXPECT_EQ(pacer.slots(), 12u);
}

}  // namespace
}  // namespace vz::test
