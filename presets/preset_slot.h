// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/video_engine.h"

namespace vz {

// Layout of one preset slot (128 ints) in the preset store.
inline constexpr int kSlotPaletteRed = 0;
inline constexpr int kSlotPaletteGreen = 16;
inline constexpr int kSlotPaletteBlue = 32;
inline constexpr int kSlotMode = 48;
inline constexpr int kSlotInvertRed = 49;
inline constexpr int kSlotInvertGreen = 50;
inline constexpr int kSlotInvertBlue = 51;
inline constexpr int kSlotMirror = 52;
inline constexpr int kSlotCurrentColor = 53;  // red, green, blue
inline constexpr int kSlotRampState = 56;
inline constexpr int kSlotSettings = 57;  // the twenty ints of the settings block
inline constexpr int kSlotUsed = kSlotSettings + kSettingsBlockInts;  // 77; the rest is reserved

inline constexpr int kLetterSlots = 26;  // A..Z; slots 26..29 travel with the store only

// Copies the live look into a slot: palette, the five byte fields widened, current colour,
// rampState, settings block. Indices 77..127 are never written. Slots outside 0..29 are ignored.
void storeSlot(VideoEngine& engine, int slot);

// Copies a slot back into the live fields, the byte fields taking the low 8 bits. Only the
// fields: control visibility and the controls themselves are the caller's business.
void recallSlotFields(VideoEngine& engine, int slot);

}  // namespace vz
