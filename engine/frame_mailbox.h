// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

#include "engine/frame_target.h"

namespace vz {

// Hands the newest frame from the streaming thread to the GUI without either side waiting:
// three buffers, the writer's, the reader's and one in between, swapped by one atomic.
// A frame that the GUI has not taken yet is simply replaced by a newer one.
// The same atomic word also says whether a repaint is queued, and both sides change it only
// by read-modify-write: a frame left in the middle always has its repaint queued.
class FrameMailbox final : public FrameTarget {
 public:
  struct View {
    const uint8_t* pixels = nullptr;  // bottom row first
    int width = 0;
    int height = 0;
    int64_t callbackStart = 0;  // see frame_times.h; 0 unless traced
  };

  // Called on the streaming thread when a frame arrives and no repaint was asked for since
  // the GUI last called latest() (at most one queued repaint at a time).
  explicit FrameMailbox(std::function<void()> onFrameReady = {});

  void receiveFrame(const uint8_t* pixels, int width, int height) override;

  // GUI thread: the newest frame, or the one taken last if none came since. Valid until the
  // next call.
  View latest();
  bool hasFrame() const { return frontHasFrame_; }

 private:
  struct Buffer {
    std::vector<uint8_t> bytes;
    int width = 0;
    int height = 0;
    int64_t callbackStart = 0;
  };
  static constexpr unsigned kIndex = 3;
  static constexpr unsigned kFresh = 4;   // the middle buffer holds an untaken frame
  static constexpr unsigned kQueued = 8;  // a repaint was asked for since the GUI last looked

  Buffer buffers_[3];
  int back_ = 0;                     // writer's buffer
  std::atomic<unsigned> middle_{1};  // index of the buffer in between, plus the flags above
  int front_ = 2;                    // reader's buffer
  bool frontHasFrame_ = false;
  std::function<void()> onFrameReady_;
};

}  // namespace vz
