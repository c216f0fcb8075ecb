// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <cstdint>

#include "tempo/tempo_clock.h"

namespace vz {

// Counts the colour-cycle steps the beat asks for, frame by frame on the streaming thread:
// N steps a beat, each taken by the frame nearest its time (the first frame later than half a
// frame interval before it). Without a running tempo it says so, and the caller steps once a
// frame as it always has.
class BeatSteps {
 public:
  static constexpr int kRates[] = {1, 2, 4, 8, 16, 24};

  // Not part of an engine's value: a copied engine starts without a clock.
  BeatSteps() = default;
  BeatSteps(const BeatSteps&) {}
  BeatSteps& operator=(const BeatSteps&) { return *this; }
  static bool validRate(int n);

  void setClock(const TempoClock* clock) { clock_.store(clock, std::memory_order_release); }
  void setStepsPerBeat(int n) {
    if (validRate(n)) perBeat_.store(n, std::memory_order_relaxed);
  }
  int stepsPerBeat() const { return perBeat_.load(std::memory_order_relaxed); }

  // Streaming thread, before a frame at steady time `nowNs`: the steps due by this frame, or
  // -1 when no tempo runs.
  int stepsBeforeFrame(std::int64_t nowNs);

 private:
  std::atomic<const TempoClock*> clock_{nullptr};
  std::atomic<int> perBeat_{1};
  // Streaming thread only.
  std::int64_t lastFrameNs_ = 0;
  std::int64_t done_ = 0;  // step index reached
  int doneRate_ = 0;       // 0: not in step with the beat yet
};

}  // namespace vz
