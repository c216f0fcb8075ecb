#include "engine/row_order.h"

#include "engine/effect_mode.h"

namespace vz {

bool isRowLocal(const FrameSettings& s) {
  const bool lowPassOn = s.lowPass[kRed] != 0 && s.lowPass[kGreen] != 0 && s.lowPass[kBlue] != 0;
  switch (static_cast<EffectMode>(s.mode)) {
    case EffectMode::Overflow:
    case EffectMode::Lut2:
      return !lowPassOn;
    case EffectMode::Smear:
      return false;
    default:
      return true;
  }
}

}  // namespace vz
