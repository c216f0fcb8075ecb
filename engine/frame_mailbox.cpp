// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/frame_mailbox.h"

#include <cstring>

#include "engine/frame_times.h"

namespace vz {

FrameMailbox::FrameMailbox(std::function<void()> onFrameReady)
    : onFrameReady_(std::move(onFrameReady)) {
  // Room for a full-HD frame up front, so the streaming thread allocates only for larger ones.
  for (Buffer& b : buffers_) b.bytes.reserve(1920 * 1080 * 3);
}

void FrameMailbox::receiveFrame(const uint8_t* pixels, int width, int height) {
  Buffer& b = buffers_[back_];
  const size_t size = static_cast<size_t>(width) * height * 3;
  b.bytes.resize(size);
  std::memcpy(b.bytes.data(), pixels, size);
  b.width = width;
  b.height = height;
  if (kFrameTimesOn) b.callbackStart = frameCallbackStart();
  const unsigned before = middle_.exchange(back_ | kFresh | kQueued, std::memory_order_acq_rel);
  back_ = static_cast<int>(before & kIndex);
  if (onFrameReady_ && !(before & kQueued)) onFrameReady_();
}

FrameMailbox::View FrameMailbox::latest() {
  // Take a waiting frame, or else only clear the queued mark, in one step: a frame that
  // arrives meanwhile makes the step retry, so it is either taken now or finds no repaint
  // queued and asks for one.
  unsigned seen = middle_.load(std::memory_order_relaxed);
  while (seen & (kFresh | kQueued)) {
    const unsigned next = (seen & kFresh) ? static_cast<unsigned>(front_) : (seen & ~kQueued);
    if (middle_.compare_exchange_weak(seen, next, std::memory_order_acq_rel,
                                      std::memory_order_relaxed))
      break;
  }
  if (seen & kFresh) {
    front_ = static_cast<int>(seen & kIndex);
    frontHasFrame_ = true;
  }
  if (!frontHasFrame_) return {};
  const Buffer& b = buffers_[front_];
  return {b.bytes.data(), b.width, b.height, b.callbackStart};
}

}  // namespace vz
