// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/frame_worker.h"

#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

namespace vz {

struct FrameWorker::Thread {
  std::mutex lock;
  std::condition_variable posted, finished;
  Part part = nullptr;  // set while a part is pending or running
  const void* context = nullptr;
  bool stop = false;
  std::thread thread;

  void loop() {
    std::unique_lock<std::mutex> hold(lock);
    for (;;) {
      posted.wait(hold, [this] { return part != nullptr || stop; });
      if (part == nullptr) return;
      const Part run = part;
      hold.unlock();
      run(context, 1);
      hold.lock();
      part = nullptr;
      finished.notify_one();
    }
  }
};

FrameWorker::FrameWorker() = default;

FrameWorker::~FrameWorker() {
  if (!thread_ || !thread_->thread.joinable()) return;
  {
    std::lock_guard<std::mutex> hold(thread_->lock);
    thread_->stop = true;
  }
  thread_->posted.notify_one();
  thread_->thread.join();
}

bool FrameWorker::tryAcquire() {
  if (busy_.exchange(true, std::memory_order_acquire)) return false;
  if (!thread_) {
    auto t = std::make_unique<Thread>();
    try {
      t->thread = std::thread([raw = t.get()] { raw->loop(); });
    } catch (const std::system_error&) {
      // No thread to be had: this frame and the next ones run on the streaming thread alone.
    }
    thread_ = std::move(t);
  }
  if (thread_->thread.joinable()) return true;
  release();
  return false;
}

void FrameWorker::runBoth(Part part, const void* context) {
  {
    std::lock_guard<std::mutex> hold(thread_->lock);
    thread_->part = part;
    thread_->context = context;
  }
  thread_->posted.notify_one();
  part(context, 0);
  std::unique_lock<std::mutex> hold(thread_->lock);
  thread_->finished.wait(hold, [this] { return thread_->part == nullptr; });
}

}  // namespace vz
