// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <mutex>
#include <vector>

#include "control/controller_actions.h"

namespace vz {

// Requests from the MIDI and OSC threads waiting for the GUI thread. A request replaces a
// waiting one with the same key (the latest value wins) and goes to the back, so a fader
// sweep or a flood of packets leaves at most one entry per control, and one wake-up is
// outstanding at a time. The lock is held only to add or take entries, never while a
// request runs.
class ActionQueue {
 public:
  // `wake` is called (on the posting thread, outside the lock) when the queue turns
  // non-empty; it must arrange for take() to run on the GUI thread soon.
  explicit ActionQueue(std::function<void()> wake) : wake_(std::move(wake)) {}

  void post(const ControllerAction& action);
  // Everything waiting, oldest first; the next post wakes again.
  std::vector<ControllerAction> take();

 private:
  std::function<void()> wake_;
  std::mutex mutex_;
  std::vector<ControllerAction> pending_;
  bool woken_ = false;
};

}  // namespace vz
