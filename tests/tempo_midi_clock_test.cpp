// SPDX-License-Identifier: GPL-3.0-or-later
// MIDI clock through a private JACK server: a test client plays a clock with Start, a tempo
// change, Stop, Song Position and Continue on the steady clock (the dummy driver's samples
// fall behind the wall on a busy machine, so they are no measure of tempo); the MIDI input
// hands it to the tempo clock. What the clock says is taken at set clocks (on the MIDI thread,
// as each arrives) and checked once the script is over.
#include <gtest/gtest.h>
#include <jack/jack.h>
#include <jack/midiport.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <mutex>
#include <optional>
#include <vector>

#include "control/midi_input.h"
#include "tempo/midi_clock.h"
#include "tempo/tempo_clock.h"
#include "tests/child_process.h"
#include "tests/private_jack.h"

namespace vz {
namespace {

// The script, in nanoseconds of the steady clock from its start.
struct Event {
  double at;
  std::vector<unsigned char> bytes;
};

constexpr double kSecond = 1e9;
constexpr int kClocksAt120 = 72, kClocksAt128 = 48, kClocksAfterContinue = 24;

std::vector<Event> script() {
  std::vector<Event> s;
  double t = 0;
  s.push_back({t, {0xFA}});
  t += kSecond / 100;
  const double at120 = kSecond * 60 / (120 * 24), at128 = kSecond * 60 / (128 * 24);
  for (int i = 0; i < kClocksAt120; ++i, t += at120) s.push_back({t, {0xF8}});
  for (int i = 0; i < kClocksAt128; ++i, t += at128) s.push_back({t, {0xF8}});
  s.push_back({t, {0xFC}});
  t += kSecond / 4;
  s.push_back({t, {0xF2, 0x10, 0x00}});  // sixteenth 16: beat 4
  s.push_back({t + kSecond / 100, {0xFB}});
  t += at120;
  for (int i = 0; i < kClocksAfterContinue; ++i, t += at120) s.push_back({t, {0xF8}});
  return s;
}

struct Snapshot {
  int clocks;
  TempoState state;
};

TEST(MidiClockThroughJack, TempoChangeStartStopAndSongPosition) {
  // A short period: the input stamps a clock when its cycle runs, so the period is the jitter.
  test::PrivateJack jack(256);
  if (!jack.waitUntilRunning()) GTEST_SKIP() << "no private JACK server could start";

  TempoClock clock;
  MidiClockFollower follower(clock);
  std::mutex mutex;
  std::vector<Snapshot> snapshots;
  int clocks = 0;
  std::vector<double> arrivals;
  auto sink = [&](uint8_t status, uint8_t d1, uint8_t d2, int64_t ns) {
    const std::lock_guard lock(mutex);
    follower.feed(status, d1, d2, ns);
    if (status == 0xF8) ++clocks, arrivals.push_back(static_cast<double>(ns));
    if (status != 0xF8 || clocks == 48 || clocks == kClocksAt120 + 24 ||
        clocks == kClocksAt120 + kClocksAt128 + 1)
      snapshots.push_back({status == 0xF8 ? clocks : -status, clock.read()});
  };
  std::atomic<bool> heard{false};  // the sender's connection carries messages
  auto started = MidiInput::start([&](const ControllerAction&) { heard.store(true); }, sink);
  ASSERT_TRUE(started) << started.message();
  std::unique_ptr<MidiInput> input = std::move(*started);

  // The sender plays the script on JACK's thread once the input has heard it: until then a
  // control change each cycle (JACK activates a new connection on a later cycle, and what
  // goes into it before is lost, however long that takes on a slow machine).
  const std::vector<Event> events = script();
  double start = 0, due[kClocksAt120 + kClocksAt128 + kClocksAfterContinue];  // each clock's time
  size_t next = 0;
  int sent = 0;
  std::atomic<bool> done{false};
  test::JackPads sender("vz test clock", [&](void* out) {
    if (!heard.load()) {
      const uint8_t probe[] = {0xB0, 0x7F, 0};
      jack_midi_event_write(out, 0, probe, sizeof probe);
      return;
    }
    const auto now = static_cast<double>(steadyNowNs());
    if (start == 0) start = now;
    for (; next < events.size() && start + events[next].at <= now; ++next) {
      const Event& e = events[next];
      jack_midi_event_write(out, 0, e.bytes.data(), e.bytes.size());
      if (e.bytes[0] == 0xF8) due[sent++] = start + e.at;
    }
    if (next == events.size()) done.store(true);
  });
  ASSERT_TRUE(sender.ok());
  const int all = kClocksAt120 + kClocksAt128 + kClocksAfterContinue;
  ASSERT_TRUE(test::waitFor([&] { return done.load(); }, std::chrono::seconds(30)));
  (void)test::waitFor([&] {
    const std::lock_guard lock(mutex);
    return clocks >= all;
  });
  input.reset();

  const std::lock_guard lock(mutex);
  ASSERT_EQ(clocks, all);
  auto at = [&](int key) -> std::optional<TempoState> {
    for (const Snapshot& s : snapshots)
      if (s.clocks == key) return s.state;
    return std::nullopt;
  };
  // The clocks arrive when a JACK cycle runs: on a quiet machine every 5 ms at this period, on
  // a loaded one (the dummy driver is no realtime thread) late by more, and not evenly. So the
  // tempo read is checked against lines through the arrival times the input really saw (the
  // follower fits the last two beats, or one after a change), and those against the tempo
  // sent; the 0.1 BPM of a steady delivery is the unit test's and the bench's.
  auto lineBpm = [&](int from, int to) {  // clocks from..to-1
    double sx = 0, sy = 0, sxx = 0, sxy = 0;
    const double n = to - from;
    for (int i = from; i < to; ++i) {
      const double x = i - from, y = arrivals[i] - arrivals[from];
      sx += x, sy += y, sxx += x * x, sxy += x * y;
    }
    return 60e9 / ((n * sxy - sx * sy) / (n * sxx - sx * sx) * 24);
  };
  auto aLineUpTo = [&](double bpm, int to) {  // through the last one to two beats
    for (int from = std::max(0, to - 49); from <= to - 25; ++from)
      if (std::abs(bpm - lineBpm(from, to)) < 0.01) return true;
    return false;
  };
  double worst = 0;
  for (int i = 0; i < 48; ++i) worst = std::max(worst, arrivals[i] - due[i]);
  std::fprintf(stderr, "note: MIDI clocks arrived up to %.1f ms late\n", worst / 1e6);
  EXPECT_NEAR(lineBpm(0, kClocksAt120), 120.0, 2.0);
  EXPECT_NEAR(lineBpm(kClocksAt120, kClocksAt120 + kClocksAt128), 128.0, 2.0);
  // Two beats at 120; the first clock after Start was beat 0.
  const auto twoBeats = at(48);
  ASSERT_TRUE(twoBeats);
  EXPECT_TRUE(twoBeats->running);
  EXPECT_TRUE(aLineUpTo(twoBeats->bpm, 48)) << twoBeats->bpm;
  EXPECT_NEAR(twoBeats->anchorBeat, 47.0 / 24, 1e-9);
  // One beat after the change to 128: only the new tempo's clocks count.
  const auto changed = at(kClocksAt120 + 24);
  ASSERT_TRUE(changed);
  EXPECT_NEAR(changed->bpm, lineBpm(kClocksAt120 - 1, kClocksAt120 + 24), 0.01);
  // Stop stops the clock; Song Position and Continue go on from beat 4.
  const auto stopped = at(-0xFC);
  ASSERT_TRUE(stopped);
  EXPECT_FALSE(stopped->running);
  const auto resumed = at(kClocksAt120 + kClocksAt128 + 1);
  ASSERT_TRUE(resumed);
  EXPECT_TRUE(resumed->running);
  EXPECT_NEAR(resumed->anchorBeat, 4.0, 1e-9);
}

}  // namespace
}  // namespace vz
