// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

namespace vz {

// Where the beat is: beat `anchorBeat` falls at steady-clock time `anchorNs` (nanoseconds of
// std::chrono::steady_clock) and the beats follow at `bpm`. Bars are 4 beats; beat 0 of a bar
// is a whole beat index divisible by 4.
struct TempoState {
  bool running = false;
  double bpm = 0.0;
  std::int64_t anchorNs = 0;
  double anchorBeat = 0.0;
  int peers = 0;  // others in a shared session (Link); 0 for every other source
};

constexpr int kBeatsPerBar = 4;

// The one tempo clock. Sources (tap, MIDI clock, Link, audio, a fixed BPM) write it from their
// own threads; the streaming thread reads it once per frame. Reading never blocks: writers are
// serialised among themselves and publish through a sequence counter that a reader retries on,
// so a frame never waits on a MIDI or GUI thread.
class TempoClock {
 public:
  void set(double bpm, std::int64_t beatNs, double beatIndex);  // any thread
  void stop();                                                  // any thread
  void setPeers(int peers);                                     // any thread
  TempoState read() const;                                      // lock-free, any thread

  // Bumped on every set/stop: lets readers notice that the tempo changed under them.
  std::uint64_t generation() const { return seq_.load(std::memory_order_acquire) / 2; }

 private:
  void publish(const TempoState& s);

  std::mutex writers_;  // writers only; read() never takes it
  TempoState last_;     // guarded by writers_
  std::atomic<std::uint64_t> seq_{0};
  std::atomic<bool> running_{false};
  std::atomic<double> bpm_{0.0};
  std::atomic<std::int64_t> anchorNs_{0};
  std::atomic<double> anchorBeat_{0.0};
  std::atomic<int> peers_{0};
};

// Beats since the anchor's origin at `steadyNs` (fractional). A stopped clock stands at its
// anchor beat.
double beatAt(const TempoState& s, std::int64_t steadyNs);

// Steady-clock time at which beat `beat` falls (the inverse of beatAt). Needs a running clock
// with a positive tempo; otherwise returns the anchor time.
std::int64_t timeOfBeat(const TempoState& s, double beat);

// The current steady-clock time in nanoseconds, the unit every tempo time uses.
std::int64_t steadyNowNs();

}  // namespace vz
