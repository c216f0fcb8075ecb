// SPDX-License-Identifier: GPL-3.0-or-later
// The look every engine benchmark runs: each channel's filters on, so no stage is skipped.
#pragma once

#include "engine/video_engine.h"

namespace vz::bench {

inline void setBenchLook(VideoEngine& e) {
  e.gainRed = 20, e.gainGreen = 12, e.gainBlue = 30;
  e.outputRed = e.outputGreen = e.outputBlue = 40;
  e.colorAmount = 70;
  e.floor = 10;
  e.quantizeRed = 1, e.quantizeGreen = 2, e.quantizeBlue = 0;
  e.tintRed = 100, e.tintGreen = 300, e.tintBlue = 600;
  e.invertRed = 1, e.invertGreen = 0, e.invertBlue = 1;
  e.lowPassRed = e.lowPassGreen = e.lowPassBlue = 8;
  e.lutMaskRed = 15;
}

}  // namespace vz::bench
