#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/effect_mode.h"
#include "engine/frame_worker.h"
#include "engine/rand15.h"

namespace vz {

inline constexpr int kPaletteSize = 16;
inline constexpr int kHueSize = 768;
inline constexpr int kSlotInts = 128;
inline constexpr int kSlotCount = 30;
inline constexpr int kPresetInts = kSlotInts * kSlotCount;  // 3840

// The one engine: every live setting, the hue wheel, the palette, the colour-cycle state
// and the preset store. The handlers write the fields directly; fields that the streaming
// thread also touches are read and written through loadRelaxed/storeRelaxed.
// The media graph objects live beside it in the source layer.
struct VideoEngine {
  VideoEngine();

  std::string fileName;  // MPEG file path, the file system's bytes; empty: none chosen
  int32_t sourceIsFile;
  uint8_t mode;  // an EffectMode value, or any other byte from a bank
  uint8_t invertRed;
  uint8_t invertGreen;
  uint8_t invertBlue;
  uint8_t mirror;
  int32_t deviceChosen;
  int32_t devicesDeclined;
  int32_t autoSelectDevice;
  int32_t deviceIndex;
  int32_t fullScreen;
  int32_t currentRed;
  int32_t currentGreen;
  int32_t currentBlue;
  int32_t hueRed[kHueSize];
  int32_t hueGreen[kHueSize];
  int32_t hueBlue[kHueSize];
  int32_t cycleStepRed[kPaletteSize];
  int32_t cycleStepGreen[kPaletteSize];
  int32_t cycleStepBlue[kPaletteSize];
  int32_t saveArmed;
  int32_t colorCycle;
  int32_t aviFlag;
  int32_t rampState;
  int32_t paletteRed[kPaletteSize];
  int32_t paletteGreen[kPaletteSize];
  int32_t paletteBlue[kPaletteSize];

  // The settings block: twenty ints, contiguous and in this order (presets copy it as one run).
  int32_t tintRed;
  int32_t gainRed;
  int32_t gainGreen;
  int32_t gainBlue;
  int32_t floor;
  int32_t lowPassRed;
  int32_t lowPassGreen;
  int32_t lowPassBlue;
  int32_t quantizeRed;
  int32_t quantizeGreen;
  int32_t quantizeBlue;
  int32_t lutMaskRed;
  int32_t lutMaskGreen;
  int32_t lutMaskBlue;
  int32_t outputRed;
  int32_t outputGreen;
  int32_t outputBlue;
  int32_t tintGreen;
  int32_t tintBlue;
  int32_t colorAmount;

  int32_t presetStore[kPresetInts];

  // Palette generators draw on the GUI thread; colour cycling on the streaming thread,
  // whose sequence starts again with every new graph (a new streaming thread).
  Rand15 paletteRandom;
  Rand15 cycleRandom;

  // Rewrites a frame of width x height packed 3-byte pixels (blue, green, red) in place:
  // the mode, then the mirror. Streaming thread.
  void processFrame(uint8_t* pixels, int width, int height) const;
  // One colour-cycle step when colorCycle is 1. Streaming thread, after the frame is shown.
  void advanceAnimation();

  // Takes half of a large frame; a copy of the engine gets its own.
  mutable FrameWorker frameWorker;
};

inline constexpr int kSettingsBlockInts = 20;

// Pointers to the settings block's twenty ints, in block order.
inline constexpr int32_t VideoEngine::*kSettingsBlock[kSettingsBlockInts] = {
    &VideoEngine::tintRed,       &VideoEngine::gainRed,      &VideoEngine::gainGreen,
    &VideoEngine::gainBlue,      &VideoEngine::floor,        &VideoEngine::lowPassRed,
    &VideoEngine::lowPassGreen,  &VideoEngine::lowPassBlue,  &VideoEngine::quantizeRed,
    &VideoEngine::quantizeGreen, &VideoEngine::quantizeBlue, &VideoEngine::lutMaskRed,
    &VideoEngine::lutMaskGreen,  &VideoEngine::lutMaskBlue,  &VideoEngine::outputRed,
    &VideoEngine::outputGreen,   &VideoEngine::outputBlue,   &VideoEngine::tintGreen,
    &VideoEngine::tintBlue,      &VideoEngine::colorAmount,
};

static_assert(offsetof(VideoEngine, colorAmount) - offsetof(VideoEngine, tintRed) ==
                  (kSettingsBlockInts - 1) * sizeof(int32_t),
              "the settings block must stay contiguous");
static_assert(offsetof(VideoEngine, tintRed) ==
              offsetof(VideoEngine, paletteBlue) + kPaletteSize * sizeof(int32_t));

}  // namespace vz
