// SPDX-License-Identifier: GPL-3.0-or-later
#include "tempo/beat_steps.h"

#include <algorithm>
#include <cmath>

namespace vz {

namespace {

constexpr std::int64_t kMaxFrameIntervalNs = 100'000'000;
constexpr std::int64_t kMaxStepsAFrame = 64;  // more: the beat jumped; take it up from there

}  // namespace

bool BeatSteps::validRate(int n) {
  return std::find(std::begin(kRates), std::end(kRates), n) != std::end(kRates);
}

int BeatSteps::stepsBeforeFrame(std::int64_t nowNs) {
  const TempoClock* clock = clock_.load(std::memory_order_acquire);
  const std::int64_t interval =
      std::clamp<std::int64_t>(nowNs - lastFrameNs_, 0, kMaxFrameIntervalNs);
  lastFrameNs_ = nowNs;
  if (clock == nullptr) return -1;
  const TempoState s = clock->read();
  if (!s.running) {
    doneRate_ = 0;
    return -1;
  }
  const int rate = perBeat_.load(std::memory_order_relaxed);
  const auto target = static_cast<std::int64_t>(std::floor(beatAt(s, nowNs + interval / 2) * rate));
  if (doneRate_ != rate || target < done_ || target - done_ > kMaxStepsAFrame) {
    doneRate_ = rate;
    done_ = target;
    return 0;
  }
  const auto steps = static_cast<int>(target - done_);
  done_ = target;
  return steps;
}

}  // namespace vz
