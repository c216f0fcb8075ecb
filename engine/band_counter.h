// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>

namespace vz {

// Bands of a frame handed from the streaming thread to the worker: the streaming thread
// counts each band it finishes and never waits; the worker waits for the count it needs.
// Waking a worker that sleeps is a system call on the streaming thread; a worker with the
// lighter share sleeps between bands, and a wake for every band showed on the streaming
// thread's time (most in virtual machines). So a sleeping worker is woken once every
// kWakeEvery bands, at the first count (0 or 1) and at the last; a worker that is behind
// finds the count without being woken.
class BandCounter {
 public:
  static constexpr int kWakeEvery = 8;

  // total: the last count; start: the count before the first band (-1 for a step ahead of
  // the first band).
  explicit BandCounter(int total, int start = 0) : count_(start), total_(total) {}

  void count(int n) {
    count_.store(n, std::memory_order_release);
    if (n <= 1 || n % kWakeEvery == 0 || n >= total_) count_.notify_one();
  }

  void waitFor(int n) const {
    for (int seen; (seen = count_.load(std::memory_order_acquire)) < n;)
      count_.wait(seen, std::memory_order_acquire);
  }

 private:
  std::atomic<int> count_;
  int total_;
};

}  // namespace vz
