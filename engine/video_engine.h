// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/effect_mode.h"
#include "engine/frame_worker.h"
#include "engine/rand15.h"
#include "engine/staged_look.h"
#include "tempo/beat_steps.h"

namespace vz {

inline constexpr int kPaletteSize = 16;
inline constexpr int kHueSize = 768;
inline constexpr int kSlotInts = 128;
inline constexpr int kSlotCount = 30;
inline constexpr int kPresetInts = kSlotInts * kSlotCount;  // 3840

// The one engine: every live setting, the hue wheel, the palette, the colour-cycle state
// and the preset store, grouped by who may touch them. The handlers write the fields
// directly. The media graph objects live beside it in the source layer.
struct VideoEngine {
  VideoEngine();

  // ---- The look, shared with the streaming thread: either thread reads and writes these
  // only through loadRelaxed/storeRelaxed; the streaming thread snapshots them per frame.
  uint8_t mode;  // an EffectMode value, or any other byte from a bank
  uint8_t invertRed;
  uint8_t invertGreen;
  uint8_t invertBlue;
  uint8_t mirror;
  int32_t colorCycle;
  int32_t paletteRed[kPaletteSize];  // the colour cycling rewrites these on the streaming thread
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

  // ---- The preset store: thirty slots of 128 ints (a bank). Never the streaming thread.
  int32_t presetStore[kPresetInts];

  // ---- The palette editor's state, stored with a look in a slot. Never the streaming thread.
  int32_t currentRed;  // the colour the picker shows and the palette buttons take
  int32_t currentGreen;
  int32_t currentBlue;
  int32_t rampState;  // the Range blend's two clicks (palette/palette_editor.h)

  // ---- The session, GUI thread only: what to play, the camera choice, the window's state.
  std::string fileName;  // MPEG file path, the file system's bytes; empty: none chosen
  int32_t sourceIsFile;
  int32_t aviFlag;
  int32_t deviceChosen;
  int32_t devicesDeclined;
  int32_t autoSelectDevice;
  int32_t deviceIndex;
  int32_t fullScreen;
  int32_t saveArmed;  // the next letter stores rather than recalls

  // ---- Constant tables: filled by the constructor, read-only after it (any thread).
  int32_t hueRed[kHueSize];  // the hue wheel: red to green to blue and back
  int32_t hueGreen[kHueSize];
  int32_t hueBlue[kHueSize];

  // ---- The animation: the colour cycling's steps and generator belong to the streaming
  // thread (advanceAnimation), whose sequence starts again with every new graph; the palette
  // generators draw on the GUI thread.
  int32_t cycleStepRed[kPaletteSize];
  int32_t cycleStepGreen[kPaletteSize];
  int32_t cycleStepBlue[kPaletteSize];
  Rand15 cycleRandom;
  Rand15 paletteRandom;

  // Rewrites a frame of width x height packed 3-byte pixels (blue, green, red) in place:
  // the mode, then the mirror. Streaming thread.
  void processFrame(uint8_t* pixels, int width, int height) const;
  // One colour-cycle step when colorCycle is 1. Streaming thread, after the frame is shown.
  void advanceAnimation();

  // With a running tempo, the colour cycling steps on the beat instead of once a frame; the
  // program hands it the clock. Not part of the engine's value.
  BeatSteps beatSteps;
  // A recall due on the beat, applied by the frame nearest the beat. Not part of the value.
  StagedLook stagedLook;
  // Streaming thread, before a frame at steady time `nowNs`: a staged recall that is due, then
  // the colour steps due (-1: no tempo, step once after the frame as always).
  int beforeFrame(std::int64_t nowNs) {
    stagedLook.applyIfDue(*this, nowNs);
    return beatSteps.stepsBeforeFrame(nowNs);
  }

  // Takes half of a large frame for the streaming thread; not part of the engine's value.
  mutable OwnFrameWorker frameWorker;
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
