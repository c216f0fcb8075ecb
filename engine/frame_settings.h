// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

#include "engine/video_engine.h"

namespace vz {

// Channel order inside a pixel: blue at the lowest address.
inline constexpr int kBlue = 0;
inline constexpr int kGreen = 1;
inline constexpr int kRed = 2;

// Everything one frame reads, taken once at the top of the frame with relaxed loads, so
// the kernels work on locals the compiler can keep in registers, and a frame never mixes
// old and new settings. Per-channel arrays are indexed by byte position (kBlue..kRed).
// Values are as the engine holds them, except where noted; nothing here is a table built
// for the frame, only the settings and the sixteen palette entries.
struct FrameSettings {
  uint8_t mode;
  uint8_t mirror;
  uint8_t invertRed;     // the single-channel modes' invert switch
  uint8_t invertXor[3];  // 255 where that channel's switch equals 1, else 0
  int32_t floor;
  int32_t lowPass[3];
  uint8_t quantizeMask[3];  // 255 << quantize, cleared by a count of 8 or more
  int32_t gain[3];
  int32_t mix[3][3];  // [output channel][input channel] coefficients of the hue-wheel mix
  int32_t output[3];
  int32_t colorAmount;
  int32_t lutMask;
  int32_t outputRed;
  int32_t palette[3][kPaletteSize];  // full int palette values
};

FrameSettings takeSnapshot(const VideoEngine& engine);

// Position on the hue wheel for a tint; any int maps into 0..767 so a table read never
// leaves the wheel (tints from the controls, a bank or the animation already lie there).
inline int huePosition(int32_t tint) {
  const int t = tint % kHueSize;
  return t < 0 ? t + kHueSize : t;
}

}  // namespace vz
