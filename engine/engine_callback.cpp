// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/engine_callback.h"

namespace vz {

void EngineCallback::SampleCB(uint8_t* pixels, int width, int height) {
  if (pixels == nullptr || width <= 0 || height <= 0) return;  // nothing to show: skip it
  recalls_.beforeFrame(engine_, fade_);
  fade_.processFrame(engine_, pixels, width, height);
  presentFrame(pixels, width, height);
  if (FrameSink* sink = sink_.load(std::memory_order_acquire))
    sink->takeFrame(pixels, width, height);
  fade_.advanceAnimation(engine_);
  recalls_.afterFrame(engine_);
}

void EngineCallback::presentFrame(const uint8_t* pixels, int width, int height) {
  if (FrameTarget* target = target_.load(std::memory_order_acquire))
    target->receiveFrame(pixels, width, height);
}

}  // namespace vz
