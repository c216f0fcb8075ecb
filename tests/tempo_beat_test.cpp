// SPDX-License-Identifier: GPL-3.0-or-later
// The tempo clock, tap tempo, a fixed tempo, sequences, held recalls and beat steps, against
// injected times.
#include <gtest/gtest.h>

#include <atomic>
#include <limits>
#include <thread>

#include "tempo/beat_schedule.h"
#include "tempo/beat_steps.h"
#include "tempo/midi_clock.h"
#include "tempo/tap_tempo.h"
#include "tempo/tempo_options.h"

namespace vz {
namespace {

constexpr std::int64_t kMs = 1'000'000, kS = 1000 * kMs;

TEST(TempoClock, BeatsFollowTheTempoFromTheAnchor) {
  struct Case {
    double bpm;
    std::int64_t anchorNs;
    double anchorBeat;
    std::int64_t atNs;
    double beat;
  };
  const Case cases[] = {
      {120, 0, 0, kS, 2.0},
      {120, 5 * kS, 8, 4 * kS, 6.0},  // before the anchor: earlier beats
      {90, kS, 0.5, 3 * kS, 3.5},
      {128, 0, 0, 60 * kS, 128.0},
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
  EXPECT_DOUBLE_EQ(beatAt(stopped, now + 100 * kS), stopped.anchorBeat);

  for (double bad : {0.0, -5.0, std::numeric_limits<double>::infinity(),
                     std::numeric_limits<double>::quiet_NaN()}) {
    clock.set(120, now, 0);
    clock.set(bad, now, 0);
    EXPECT_FALSE(clock.read().running) << bad;
  }
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

TEST(TapTempo, FourTapsSetTempoAndPhaseAndAPauseStartsAfresh) {
  TapTempo tap;
  // The tempo after each tap (0: none yet). The fifth is uneven: the mean of the intervals.
  // After a pause of 2 s, three taps are not enough.
  const std::pair<int, double> taps[] = {
      {1000, 0}, {1500, 0}, {2000, 0}, {2500, 120}, {2900, 60e3 / (1900.0 / 4)},
      {4900, 0}, {5400, 0}, {5900, 0}, {6400, 120}};
  for (const auto& [ms, bpm] : taps) {
    const auto beat = tap.tap(ms * kMs);
    ASSERT_EQ(beat.has_value(), bpm > 0) << ms;
    if (!beat) continue;
    EXPECT_NEAR(beat->bpm, bpm, 1e-9) << ms;
    EXPECT_EQ(beat->beatNs, ms * kMs);
    EXPECT_TRUE(ms != 2500 || beat->beatIndex == 3.0) << "the first tap begins the bar";
  }
}

TEST(TempoOptions, ValuesAreCheckedWithAReason) {
  struct Case {
    const char* name;
    const char* value;
    bool ok;
  };
  const Case cases[] = {
      {"tempo", "off", true},         {"tempo", "midi", true},        {"tempo", "128", true},
      {"tempo", "127.5", true},       {"tempo", "0", false},          {"tempo", "1000", false},
      {"tempo", "fast", false},       {"tempo", "", false},           {"tempo", "nan", false},
      {"sequence", "ABac", true},     {"sequence", "A1", false},      {"sequence-beats", "1", true},
      {"sequence-beats", "0", false}, {"sequence-beats", "x", false}, {"quantize", "bar", true},
      {"quantize", "bars", false},    {"cycle-rate", "24", true},     {"cycle-rate", "3", false},
  };
  for (const Case& c : cases) {
    TempoOptions o;
    const Status s = applyTempoOption(c.name, c.value, o);
    EXPECT_EQ(s.ok(), c.ok) << c.name << " " << c.value;
    if (!s.ok()) {
      EXPECT_NE(s.message().find(c.name), std::string::npos) << s.message();
    }
  }
  TempoOptions o;
  ASSERT_TRUE(applyTempoOption("tempo", "128", o).ok());
  EXPECT_EQ(o.tempo.kind, TempoSourceKind::Fixed);
  EXPECT_DOUBLE_EQ(o.tempo.bpm, 128.0);
}

TempoState fixed120() {
  TempoClock c;
  c.set(120, 0, 0);  // beat n at n * 500 ms
  return c.read();
}

TEST(BeatSchedule, SequenceRecallsInTurnOnEveryNthBeat) {
  const TempoState s = fixed120();
  struct Case {
    int every;
    std::vector<std::int64_t> expectedBeats;
  };
  for (const Case& c : {Case{1, {1, 2, 3, 4, 5, 6}}, Case{4, {4, 8, 12}}, Case{3, {3, 6, 9}}}) {
    BeatSchedule plan;
    plan.setSequenceBeats(c.every, s, 0);
    plan.setSequence("FgA", s, 100 * kMs);
    std::int64_t now = 100 * kMs;
    std::vector<int> slots;
    for (std::int64_t expected : c.expectedBeats) {
      auto due = plan.nextDue(s, now);
      ASSERT_TRUE(due);
      EXPECT_EQ(*due, expected * 500 * kMs) << c.every;
      EXPECT_TRUE(plan.takeDue(s, *due - 1 * kMs).empty());  // not a moment early
      auto got = plan.takeDue(s, *due);
      ASSERT_EQ(got.size(), 1u);
      slots.push_back(got[0]);
      EXPECT_TRUE(plan.takeDue(s, *due + 1 * kMs).empty());  // once
      now = *due + 1 * kMs;
    }
    const int letters[] = {'F' - 'A', 'G' - 'A', 0};
    for (size_t i = 0; i < slots.size(); ++i) EXPECT_EQ(slots[i], letters[i % 3]);
  }
  BeatSchedule plan;
  plan.setSequence("", s, 0);
  EXPECT_FALSE(plan.nextDue(s, 0));
  plan.setSequence("AB", s, 0);
  EXPECT_FALSE(plan.nextDue(TempoState{}, 0));  // no tempo: nothing due
}

TEST(BeatSchedule, QuantizedRecallsWaitForTheNextBeatOrBar) {
  const TempoState s = fixed120();
  struct Case {
    Quantize q;
    std::int64_t askedMs;
    std::int64_t dueMs;  // -1: at once
  };
  const Case cases[] = {
      {Quantize::Off, 700, -1},   {Quantize::Beat, 700, 1000}, {Quantize::Beat, 1000, 1500},
      {Quantize::Bar, 700, 2000}, {Quantize::Bar, 2100, 4000},
  };
  for (const Case& c : cases) {
    BeatSchedule plan;
    plan.setQuantize(c.q);
    const bool held = plan.holdRecall(7, s, c.askedMs * kMs);
    EXPECT_EQ(held, c.dueMs >= 0);
    if (!held) continue;
    ASSERT_EQ(plan.nextDue(s, c.askedMs * kMs), c.dueMs * kMs);
    EXPECT_TRUE(plan.takeDue(s, c.dueMs * kMs - kMs).empty());
    EXPECT_EQ(plan.takeDue(s, c.dueMs * kMs), std::vector<int>{7});
    EXPECT_FALSE(plan.heldRecall());
  }
  // Without a running tempo nothing waits; a later recall replaces a held one.
  BeatSchedule plan;
  plan.setQuantize(Quantize::Beat);
  EXPECT_FALSE(plan.holdRecall(1, TempoState{}, 0));
  EXPECT_TRUE(plan.holdRecall(1, s, 100 * kMs));
  EXPECT_TRUE(plan.holdRecall(2, s, 200 * kMs));
  plan.setSequence("C", s, 200 * kMs);
  plan.setSequenceBeats(1, s, 200 * kMs);
  EXPECT_EQ(plan.takeDue(s, 500 * kMs), (std::vector<int>{2, 2}));  // sequence, then the user's
}

TEST(BeatSteps, StepsLandOnTheFramesNearestTheirTimes) {
  TempoClock clock;
  BeatSteps steps;
  EXPECT_EQ(steps.stepsBeforeFrame(0), -1);  // no clock: once a frame, as without a tempo
  steps.setClock(&clock);
  EXPECT_EQ(steps.stepsBeforeFrame(10 * kMs), -1);
  clock.set(120, 0, 0);
  // 30 fps frames; 4 steps a beat at 120 BPM: one step every 125 ms.
  steps.setStepsPerBeat(4);
  const std::int64_t period = 1'000'000'000 / 30;
  std::vector<int> framesWithStep;
  int total = 0;
  for (int f = 1; f <= 60; ++f) {
    const int n = steps.stepsBeforeFrame(f * period);
    ASSERT_GE(n, 0);
    total += n;
    for (int i = 0; i < n; ++i) framesWithStep.push_back(f);
  }
  // 2 s of frames, a step every 125 ms from the first synced frame: 15 or 16.
  EXPECT_GE(total, 15);
  EXPECT_LE(total, 16);
  for (int f : framesWithStep) {
    const std::int64_t t = f * period;
    const std::int64_t nearestStep = (t + 62'500'000) / 125'000'000 * 125'000'000;
    EXPECT_LE(std::llabs(t - nearestStep), period / 2 + 1) << f;
  }
  // Rates outside the menu's are refused; a stopped clock hands back to once a frame.
  steps.setStepsPerBeat(3);
  EXPECT_EQ(steps.stepsPerBeat(), 4);
  clock.stop();
  EXPECT_EQ(steps.stepsBeforeFrame(61 * period), -1);
}

// The follower against exact and jittered clock times (the MIDI system delivers clocks a
// period late at most); the private JACK test sends real ones.
TEST(MidiClockFollower, TempoPhaseStartStopAndSongPosition) {
  TempoClock clock;
  MidiClockFollower midi(clock);
  const double interval120 = 60e9 / (120 * 24);
  std::int64_t t = 1'000'000'000;
  auto send = [&](int clocks, double interval, std::int64_t jitter) {
    for (int i = 0; i < clocks; ++i) {
      t += static_cast<std::int64_t>(interval);
      midi.feed(0xF8, 0, 0, t + (i * 7919 % 5) * jitter / 4);
    }
  };
  midi.feed(0xFA, 0, 0, t);
  send(48, interval120, 1'000'000);  // two beats, up to 1 ms late
  EXPECT_NEAR(clock.read().bpm, 120.0, 0.1);
  EXPECT_TRUE(clock.read().running);
  // The first clock after Start is beat 0, so after 48 clocks the last one is beat 47/24.
  EXPECT_NEAR(clock.read().anchorBeat, 47.0 / 24, 1e-9);
  send(24, 60e9 / (128 * 24), 1'000'000);  // one beat at 128
  EXPECT_NEAR(clock.read().bpm, 128.0, 0.3);
  midi.feed(0xFC, 0, 0, t);
  EXPECT_FALSE(clock.read().running);
  send(5, interval120, 0);  // clocks while stopped: the clock stays stopped
  EXPECT_FALSE(clock.read().running);
  midi.feed(0xF2, 0x10, 0x00, t);  // sixteenth 16: beat 4
  midi.feed(0xFB, 0, 0, t);
  send(1, interval120, 0);
  EXPECT_TRUE(clock.read().running);
  EXPECT_NEAR(clock.read().anchorBeat, 4.0, 1e-9);
}

}  // namespace
}  // namespace vz
