// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/video_engine.h"

#include <algorithm>

#include "engine/effects.h"
#include "engine/frame_settings.h"
#include "engine/split_frame.h"

namespace vz {

VideoEngine::VideoEngine()
    : mode(0),
      invertRed(0),
      invertGreen(0),
      invertBlue(0),
      mirror(0),
      colorCycle(0),
      paletteRed{},
      paletteGreen{},
      paletteBlue{},
      tintRed(0),
      gainRed(0),
      gainGreen(0),
      gainBlue(0),
      floor(0),
      lowPassRed(1),
      lowPassGreen(1),
      lowPassBlue(1),
      quantizeRed(0),
      quantizeGreen(0),
      quantizeBlue(0),
      lutMaskRed(0),
      lutMaskGreen(0),
      lutMaskBlue(0),
      outputRed(0),
      outputGreen(0),
      outputBlue(0),
      tintGreen(0),
      tintBlue(0),
      colorAmount(0),
      presetStore{},
      currentRed(255),
      currentGreen(255),
      currentBlue(255),
      rampState(0),
      fileName(),
      sourceIsFile(0),
      aviFlag(0),
      deviceChosen(0),
      devicesDeclined(0),
      autoSelectDevice(0),
      deviceIndex(0),
      fullScreen(0),
      saveArmed(0),
      hueRed{},
      hueGreen{},
      hueBlue{},
      cycleStepRed{},
      cycleStepGreen{},
      cycleStepBlue{} {
  // Red to green to blue and back; the three components always sum to 255.
  for (int t = 0; t < kHueSize; ++t) {
    const int u = t % 256;
    const int rising = u, falling = 255 - u;
    switch (t / 256) {
      case 0:
        hueRed[t] = falling, hueGreen[t] = rising, hueBlue[t] = 0;
        break;
      case 1:
        hueRed[t] = 0, hueGreen[t] = falling, hueBlue[t] = rising;
        break;
      default:
        hueRed[t] = rising, hueGreen[t] = 0, hueBlue[t] = falling;
        break;
    }
  }
  for (int k = 0; k < kPaletteSize; ++k) {
    paletteRed[k] = paletteGreen[k] = paletteBlue[k] = (15 - k) * 16;
    cycleStepRed[k] = cycleStepGreen[k] = cycleStepBlue[k] = 1;
  }
}

EffectKernel kernelFor(uint8_t mode) {
  static constexpr EffectKernel kKernels[kEffectModeCount] = {
      nullptr,   applyOverflow, applyBwInvert, applyLut,           applyColorInvert,
      applyLut2, applyEmboss,   applySmear,    applyGreenBlueGrey, applyNegative,
  };
  return mode < kEffectModeCount ? kKernels[mode] : nullptr;
}

void VideoEngine::processFrame(uint8_t* pixels, int width, int height) const {
  if (pixels == nullptr || width <= 0 || height <= 0) return;
  const FrameSettings s = takeSnapshot(*this);
  if (splitsFrame(s, width, height) && frameWorker.tryAcquire()) {
    const bool done = processSplit(s, frameWorker, pixels, width, height);
    frameWorker.release();
    if (done) return;
  }
  if (const EffectKernel kernel = kernelFor(s.mode)) kernel(s, pixels, width, height);
  if (s.mirror != 0) mirrorRows(pixels, width, height);
}

}  // namespace vz
