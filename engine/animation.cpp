// SPDX-License-Identifier: GPL-3.0-or-later
#include <algorithm>

#include "engine/effect_mode.h"
#include "engine/shared_value.h"
#include "engine/video_engine.h"

namespace vz {

namespace {

// A palette value takes one step when the draw has bit 3 set. It is held inside 0..255
// before the bounce test, so white never steps to 256 (shown as black) and black never to -1.
void stepEntry(int32_t& value, int32_t& step, Rand15& random) {
  if ((random.next() & 8) == 0) return;
  const int32_t moved = std::clamp(loadRelaxed(value) + loadRelaxed(step), 0, 255);
  storeRelaxed(value, moved);
  if (moved > 254) storeRelaxed(step, -1);
  if (moved < 2) storeRelaxed(step, 1);
}

void stepTint(int32_t& tint) {
  int32_t t = loadRelaxed(tint) + 1;
  if (t >= kHueSize) t -= kHueSize;
  storeRelaxed(tint, t);
}

}  // namespace

void VideoEngine::advanceAnimation() {
  if (loadRelaxed(colorCycle) != 1) return;
  const auto m = static_cast<EffectMode>(loadRelaxed(mode));
  if (m == EffectMode::Lut || m == EffectMode::Lut2) {
    for (int n = 0; n < kPaletteSize; ++n) {
      stepEntry(paletteRed[n], cycleStepRed[n], cycleRandom);
      stepEntry(paletteGreen[n], cycleStepGreen[n], cycleRandom);
      stepEntry(paletteBlue[n], cycleStepBlue[n], cycleRandom);
    }
  } else if (m == EffectMode::Overflow) {
    stepTint(tintRed);
    stepTint(tintGreen);
    stepTint(tintBlue);
  }
}

}  // namespace vz
