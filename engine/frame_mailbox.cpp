#include "engine/frame_mailbox.h"

#include <cstring>

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
  back_ = static_cast<int>(middle_.exchange(back_ | kFresh, std::memory_order_acq_rel) & 3);
  if (onFrameReady_ && !announced_.exchange(true, std::memory_order_acq_rel)) onFrameReady_();
}

FrameMailbox::View FrameMailbox::latest() {
  announced_.store(false, std::memory_order_release);
  if (middle_.load(std::memory_order_acquire) & kFresh) {
    front_ = static_cast<int>(middle_.exchange(front_, std::memory_order_acq_rel) & 3);
    frontHasFrame_ = true;
  }
  if (!frontHasFrame_) return {};
  const Buffer& b = buffers_[front_];
  return {b.bytes.data(), b.width, b.height};
}

}  // namespace vz
