// SPDX-License-Identifier: GPL-3.0-or-later
#include "tempo/tempo_clock.h"

#include <chrono>
#include <cmath>

namespace vz {

void TempoClock::publish(const TempoState& s) {
  // Seqlock: odd while the fields change. The fields are atomics themselves so a reader that
  // overlaps a write reads torn but defined values, which it then throws away.
  const std::uint64_t begin = seq_.load(std::memory_order_relaxed) + 1;
  seq_.store(begin, std::memory_order_relaxed);
  std::atomic_thread_fence(std::memory_order_release);
  running_.store(s.running, std::memory_order_relaxed);
  bpm_.store(s.bpm, std::memory_order_relaxed);
  anchorNs_.store(s.anchorNs, std::memory_order_relaxed);
  anchorBeat_.store(s.anchorBeat, std::memory_order_relaxed);
  peers_.store(s.peers, std::memory_order_relaxed);
  seq_.store(begin + 1, std::memory_order_release);
}

void TempoClock::set(double bpm, std::int64_t beatNs, double beatIndex) {
  std::lock_guard lock(writers_);
  if (!(bpm > 0.0) || !std::isfinite(bpm) || !std::isfinite(beatIndex)) {
    last_.running = false;  // a nonsense tempo stops the clock rather than racing or freezing it
  } else {
    last_.running = true;
    last_.bpm = bpm;
    last_.anchorNs = beatNs;
    last_.anchorBeat = beatIndex;
  }
  publish(last_);
}

void TempoClock::stop() {
  std::lock_guard lock(writers_);
  if (last_.running) {
    // Keep the beat where it stopped so a badge or a Continue starts from there.
    const std::int64_t now = steadyNowNs();
    last_.anchorBeat = beatAt(last_, now);
    last_.anchorNs = now;
  }
  last_.running = false;
  publish(last_);
}

void TempoClock::setPeers(int peers) {
  std::lock_guard lock(writers_);
  last_.peers = peers;
  publish(last_);
}

TempoState TempoClock::read() const {
  TempoState s;
  for (;;) {
    const std::uint64_t before = seq_.load(std::memory_order_acquire);
    s.running = running_.load(std::memory_order_relaxed);
    s.bpm = bpm_.load(std::memory_order_relaxed);
    s.anchorNs = anchorNs_.load(std::memory_order_relaxed);
    s.anchorBeat = anchorBeat_.load(std::memory_order_relaxed);
    s.peers = peers_.load(std::memory_order_relaxed);
    std::atomic_thread_fence(std::memory_order_acquire);
    if ((before & 1) == 0 && seq_.load(std::memory_order_relaxed) == before) return s;
  }
}

double beatAt(const TempoState& s, std::int64_t steadyNs) {
  if (!s.running || !(s.bpm > 0.0)) return s.anchorBeat;
  return s.anchorBeat + static_cast<double>(steadyNs - s.anchorNs) * s.bpm / 60e9;
}

std::int64_t timeOfBeat(const TempoState& s, double beat) {
  if (!s.running || !(s.bpm > 0.0)) return s.anchorNs;
  return s.anchorNs + static_cast<std::int64_t>(std::llround((beat - s.anchorBeat) * 60e9 / s.bpm));
}

std::int64_t steadyNowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace vz
