// SPDX-License-Identifier: GPL-3.0-or-later
#include "source/first_frame_watch.h"

namespace vz {

void FirstFrameWatch::arm(std::chrono::milliseconds timeout, std::function<bool()> arrived,
                          std::function<void()> onSilence) {
  cancel();
  cancelled_ = false;
  thread_ =
      std::thread([this, timeout, arrived = std::move(arrived), onSilence = std::move(onSilence)] {
        std::unique_lock lock(mutex_);
        if (wake_.wait_for(lock, timeout, [this] { return cancelled_; })) return;
        lock.unlock();
        if (!arrived()) onSilence();
      });
}

void FirstFrameWatch::cancel() {
  if (!thread_.joinable()) return;
  {
    std::lock_guard lock(mutex_);
    cancelled_ = true;
  }
  wake_.notify_all();
  thread_.join();
}

}  // namespace vz
