// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/rand15.h"
#include "engine/video_engine.h"

namespace vz {

// rampState values of the two-click Range interpolation.
inline constexpr int32_t kRampIdle = 0;
inline constexpr int32_t kRampArmed = 1;
inline constexpr int32_t kRampFirstEnd = 16;  // 16 + k once entry k is the first end

// A numbered button: entry k takes the current colour, or it is an end of an armed Range.
void pickPaletteEntry(VideoEngine& engine, int k);
// Range: the next two numbered buttons choose the ends of an interpolation.
void armRange(VideoEngine& engine);
// Each entry and channel: a random fraction of the current colour's component.
void generateRandom(VideoEngine& engine, Rand15& random);
// The grey ramp lifted in each channel by a random fraction of the current colour.
void generateRamp(VideoEngine& engine, Rand15& random);
// The grey ramp lifted in each channel by an even amount up to 30.
void generateLimit(VideoEngine& engine, Rand15& random);

}  // namespace vz
