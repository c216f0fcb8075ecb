// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <cstdint>

#include "engine/frame_sink.h"
#include "engine/frame_target.h"
#include "engine/look_fade.h"
#include "engine/recall_watch.h"
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

// The per-frame sequence: process in place (fading after a recall when asked), present,
// then advance the colour animation.
class EngineCallback final : public SampleGrabberCallback {
 public:
  explicit EngineCallback(VideoEngine& engine) : engine_(engine) {}

  // Set before the graph runs; a null target leaves frames undrawn.
  void setTarget(FrameTarget* target) { target_.store(target, std::memory_order_release); }

  // The outputs' tap, fed after the preview; null: no outputs. Any thread.
  void setSink(FrameSink* sink) { sink_.store(sink, std::memory_order_release); }
  FrameSink* sink() const { return sink_.load(std::memory_order_acquire); }

  void SampleCB(uint8_t* pixels, int width, int height) override;
  void BufferCB(const uint8_t*, long) override {}

  void presentFrame(const uint8_t* pixels, int width, int height);

 private:
  VideoEngine& engine_;
  LookFade fade_;  // streaming thread only, as is the watch
  RecallWatch recalls_;
  std::atomic<FrameTarget*> target_{nullptr};
  std::atomic<FrameSink*> sink_{nullptr};
};

}  // namespace vz
