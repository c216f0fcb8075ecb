// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

namespace vz {

// Stored as a plain byte in the engine and in presets; any value from 10 up leaves the
// frame unchanged.
enum class EffectMode : uint8_t {
  Source = 0,
  Overflow = 1,
  BwInvert = 2,
  Lut = 3,
  ColorInvert = 4,
  Lut2 = 5,
  Emboss = 6,
  Smear = 7,
  GreenBlueGrey = 8,
  Negative = 9,
};

inline constexpr int kEffectModeCount = 10;

}  // namespace vz
