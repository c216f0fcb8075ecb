// SPDX-License-Identifier: GPL-3.0-or-later
#include "output/frame_pacer.h"

#include <algorithm>

namespace vz {
namespace {

// Frames arrive, on average, in the middle of their windows: as much room for a late one as
// for an early one (the average already holds the usual lateness of a busy source).
constexpr int64_t kPhaseDivisor = 2;
// The windows move by an eighth of each frame's error, at most half a percent of a period:
// enough to follow any camera's clock, too little to chase a source at another rate.
constexpr int64_t kGainDivisor = 8;
constexpr int64_t kMaxStepDivisor = 200;
// After the phase was set by one frame (which may have been early or late), the next ones
// move the windows to their running average, as far as needed, for a second.
constexpr int kLockFrames = 30;
constexpr int64_t kLockStepDivisor = 4;
// Repeats in a row after which the source counts as paused: its next frame sets the phase.
constexpr int kIdleRepeats = 3;
// Windows the stage's thread may fall behind by before it skips them rather than repeating
// the last frame into each (the file then runs a little short; no burst floods the queues).
constexpr int64_t kMaxBehind = 4;

}  // namespace

FramePacer::FramePacer(int64_t period, int64_t start)
    : period_(std::max<int64_t>(period, 1)),
      phase_(period_ / kPhaseDivisor),
      windowStart_(start),
      lastTime_(start) {}

void FramePacer::nudge(int64_t error) {
  ++sincePhaseSet_;
  const bool locking = sincePhaseSet_ < kLockFrames;
  const int64_t limit = period_ / (locking ? kLockStepDivisor : kMaxStepDivisor);
  const int64_t gain = std::min<int64_t>(sincePhaseSet_ + 1, kGainDivisor);
  windowStart_ += std::clamp(error / gain, -limit, limit);
}

void FramePacer::advanceTo(int64_t t, Actions& out) {
  t = std::max(t, lastTime_);
  lastTime_ = t;
  if (t - windowStart_ >= kMaxBehind * period_) windowStart_ = t - period_;
  while (t >= windowStart_ + period_) {
    if (!filled_) {
      out.push_back(Action::Repeat);
      if (++repeatsInRow_ >= kIdleRepeats) idle_ = true;
    }
    ++slot_;
    windowStart_ += period_;
    filled_ = false;
    if (waiting_) {
      out.push_back(Action::SendWaiting);
      waiting_ = false;
      filled_ = true;
      repeatsInRow_ = 0;
    }
  }
}

void FramePacer::frameArrived(int64_t t, Actions& out) {
  // An arrival the stage saw only after its clock moved on counts from there.
  advanceTo(t, out);
  t = lastTime_;
  if (idle_) {
    // First frame, or the first after a pause: the grid takes this frame's phase.
    if (filled_) ++slot_;
    windowStart_ = t - phase_;
    sincePhaseSet_ = 0;
    filled_ = true;
    idle_ = false;
    repeatsInRow_ = 0;
    out.push_back(Action::SendArrived);
    return;
  }
  if (!filled_) {
    filled_ = true;
    repeatsInRow_ = 0;
    out.push_back(Action::SendArrived);
    nudge(t - (windowStart_ + phase_));
    return;
  }
  if (waiting_) out.push_back(Action::DropWaiting);
  out.push_back(Action::HoldArrived);
  waiting_ = true;
  // Its error against its own window: a source that runs faster (or a little early) pulls
  // the grid no further than its frames' average phase.
  nudge(t - (windowStart_ + phase_));
}

}  // namespace vz
