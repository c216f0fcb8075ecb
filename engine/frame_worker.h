// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <memory>

namespace vz {

// The engine's second thread for large frames: the streaming thread hands it one part of a
// pass, does the other part itself and waits for it (never for the GUI thread). Not part of
// the engine's value (see OwnFrameWorker). A worker owns its thread: it is never copied.
class FrameWorker {
 public:
  using Part = void (*)(const void* context, int part);

  FrameWorker();
  FrameWorker(const FrameWorker&) = delete;
  FrameWorker& operator=(const FrameWorker&) = delete;
  ~FrameWorker();

  // One frame at a time holds the worker; a second streaming thread that finds it taken,
  // or a process that cannot start a thread, does its frame alone rather than wait.
  bool tryAcquire();
  void release() { busy_.store(false, std::memory_order_release); }

  // Runs part 1 on the worker and part 0 here, both at once (the parts may wait for each
  // other), and returns when both are done. Only while acquired.
  void runBoth(Part part, const void* context);

  template <class F>
  void runBoth(const F& f) {
    runBoth([](const void* c, int part) { (*static_cast<const F*>(c))(part); }, &f);
  }

 private:
  struct Thread;
  std::atomic<bool> busy_{false};
  std::unique_ptr<Thread> thread_;  // created under the lease, on first use
};

// The engine's worker, which is not part of the engine's value: a copy of the engine gets a
// fresh worker of its own (started only when first needed), and an assignment leaves each
// engine with the worker it had.
class OwnFrameWorker : public FrameWorker {
 public:
  OwnFrameWorker() = default;
  OwnFrameWorker(const OwnFrameWorker&) : FrameWorker() {}
  OwnFrameWorker& operator=(const OwnFrameWorker&) { return *this; }
};

}  // namespace vz
