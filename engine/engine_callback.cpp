// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/engine_callback.h"

#include "tempo/tempo_clock.h"

namespace vz {

void EngineCallback::SampleCB(uint8_t* pixels, int width, int height) {
  if (pixels == nullptr || width <= 0 || height <= 0) return;  // nothing to show: skip it
  // On the beat, a recall and the steps due by this frame go before it, so the frame nearest
  // their time shows them; without a tempo, one step after each frame as always.
  const int beatSteps = engine_.beforeFrame(steadyNowNs());
  for (int i = 0; i < beatSteps; ++i) engine_.advanceAnimation();
  engine_.processFrame(pixels, width, height);
  presentFrame(pixels, width, height);
  if (FrameSink* sink = sink_.load(std::memory_order_acquire))
    sink->takeFrame(pixels, width, height);
  if (beatSteps < 0) engine_.advanceAnimation();
}

void EngineCallback::presentFrame(const uint8_t* pixels, int width, int height) {
  if (FrameTarget* target = target_.load(std::memory_order_acquire))
    target->receiveFrame(pixels, width, height);
}

}  // namespace vz
