#pragma once

#include <atomic>
#include <cstdint>

#include "engine/frame_target.h"
#include "engine/video_engine.h"

namespace vz {

// The grabber's view of whoever handles frames: SampleCB once per frame on the streaming
// thread, with the frame's own packed pixels; BufferCB is never asked for.
class SampleGrabberCallback {
 public:
  virtual ~SampleGrabberCallback() = default;
  virtual void SampleCB(uint8_t* pixels, int width, int height) = 0;
  virtual void BufferCB(const uint8_t* buffer, long length) = 0;
};

// The per-frame sequence: process in place, present, then advance the colour animation.
class EngineCallback final : public SampleGrabberCallback {
 public:
  explicit EngineCallback(VideoEngine& engine) : engine_(engine) {}

  // Set before the graph runs; a null target leaves frames undrawn.
  void setTarget(FrameTarget* target) { target_.store(target, std::memory_order_release); }

  void SampleCB(uint8_t* pixels, int width, int height) override;
  void BufferCB(const uint8_t*, long) override {}

  void presentFrame(const uint8_t* pixels, int width, int height);

 private:
  VideoEngine& engine_;
  std::atomic<FrameTarget*> target_{nullptr};
};

}  // namespace vz
