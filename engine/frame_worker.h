#pragma once

#include <atomic>
#include <memory>

namespace vz {

// The engine's second thread for large frames: the streaming thread hands it one part of a
// pass, does the other part itself and waits for it (never for the GUI thread). Not part of
// the engine's value: a copy gets a worker of its own, started only when first needed.
class FrameWorker {
 public:
  using Part = void (*)(const void* context, int part);

  FrameWorker();
  FrameWorker(const FrameWorker&);
  FrameWorker& operator=(const FrameWorker&) { return *this; }
  ~FrameWorker();

  // One frame at a time holds the worker; a second streaming thread that finds it taken
  // does its frame alone rather than wait.
  bool tryAcquire() { return !busy_.exchange(true, std::memory_order_acquire); }
  void release() { busy_.store(false, std::memory_order_release); }

  // Runs part 1 on the worker and part 0 here, and returns when both are done. Only while
  // acquired. The parts must give the same bytes in either order: should the thread fail
  // to start, both run here, one after the other.
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

}  // namespace vz
