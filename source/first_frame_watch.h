// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace vz {

// Waits on a thread of its own for a source's first frame: unless arrived() holds when the
// time is up, onSilence runs there. Sleeps meanwhile; nothing polls.
class FirstFrameWatch {
 public:
  FirstFrameWatch() = default;
  ~FirstFrameWatch() { cancel(); }
  FirstFrameWatch(const FirstFrameWatch&) = delete;
  FirstFrameWatch& operator=(const FirstFrameWatch&) = delete;

  void arm(std::chrono::milliseconds timeout, std::function<bool()> arrived,
           std::function<void()> onSilence);
  // Stops the watch; an onSilence in progress has finished when this returns.
  void cancel();

 private:
  std::thread thread_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool cancelled_ = false;
};

}  // namespace vz
