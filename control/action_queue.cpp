// SPDX-License-Identifier: GPL-3.0-or-later
#include "control/action_queue.h"

#include <algorithm>

namespace vz {

void ActionQueue::post(const ControllerAction& action) {
  bool wake = false;
  {
    const std::lock_guard lock(mutex_);
    std::erase_if(pending_, [&](const ControllerAction& a) { return a.sameKey(action); });
    pending_.push_back(action);
    wake = !woken_;
    woken_ = true;
  }
  if (wake && wake_) wake_();
}

std::vector<ControllerAction> ActionQueue::take() {
  std::vector<ControllerAction> out;
  const std::lock_guard lock(mutex_);
  out.swap(pending_);
  woken_ = false;
  return out;
}

}  // namespace vz
