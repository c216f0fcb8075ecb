// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <vector>

namespace vz {

// Puts source frames onto the outputs' grid: slot n of the grid belongs to window n, one
// period long. The first frame that arrives in a window goes out at once as its slot; one
// that arrives after it waits for the next window (a newer one replaces it: a drop); a window
// that ends without a frame repeats the last one. The windows follow the source's phase, so
// that its frames arrive, on average, in their middle: a source at the output's rate lands
// every frame in a slot of its own however its clock drifts against ours and whatever its
// jitter (up to most of a period from its earliest to its latest frame); a frame is repeated only
// when the source stalls for more than about 1.5 periods, and one is dropped only when two arrive
// within a window. Plain logic on times in nanoseconds; the stage's thread feeds it the arrivals
// and its clock, and does what it answers.
class FramePacer {
 public:
  enum class Action {
    SendArrived,  // the frame that just arrived, as the next slot
    SendWaiting,  // the frame that waited, as the next slot
    Repeat,       // the last frame again, as the next slot
    HoldArrived,  // the frame that just arrived waits for the next window
    DropWaiting,  // the waiting frame is gone for good (a newer one came)
  };
  using Actions = std::vector<Action>;

  FramePacer(int64_t period, int64_t start);

  // A frame taken from the source at time t; what to do with it, in order, into out.
  void frameArrived(int64_t t, Actions& out);
  // The clock reached t: the slots of the windows that ended, into out.
  void advanceTo(int64_t t, Actions& out);
  // When advanceTo must run next, at the latest.
  int64_t nextDeadline() const { return windowStart_ + period_; }
  // Slots given out so far (the next slot's number).
  uint64_t slots() const { return slot_ + (filled_ ? 1 : 0); }
  int64_t period() const { return period_; }

 private:
  void nudge(int64_t error);

  int64_t period_;
  int64_t phase_;        // where in its window a frame should arrive
  int64_t windowStart_;  // of the current slot's window
  int64_t lastTime_;
  uint64_t slot_ = 0;    // the current window's slot
  bool filled_ = false;  // the current slot went out
  bool waiting_ = false;
  int repeatsInRow_ = 0;
  int sincePhaseSet_ = 0;  // frames since a frame set the phase
  bool idle_ = true;       // no frame yet, or the source paused: the next frame sets the phase
};

}  // namespace vz
