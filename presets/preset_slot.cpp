// SPDX-License-Identifier: GPL-3.0-or-later
#include "presets/preset_slot.h"

#include "engine/shared_value.h"

namespace vz {

namespace {

struct ByteField {
  int index;
  uint8_t VideoEngine::*field;
};

constexpr ByteField kByteFields[] = {
    {kSlotMode, &VideoEngine::mode},
    {kSlotInvertRed, &VideoEngine::invertRed},
    {kSlotInvertGreen, &VideoEngine::invertGreen},
    {kSlotInvertBlue, &VideoEngine::invertBlue},
    {kSlotMirror, &VideoEngine::mirror},
};

bool validSlot(int slot) {
  return slot >= 0 && slot < kSlotCount;
}

int32_t* slotInts(VideoEngine& e, int slot) {
  return e.presetStore + slot * kSlotInts;
}

}  // namespace

void storeSlot(VideoEngine& e, int slot) {
  if (!validSlot(slot)) return;
  int32_t* out = slotInts(e, slot);
  for (int k = 0; k < kPaletteSize; ++k) {
    out[kSlotPaletteRed + k] = loadRelaxed(e.paletteRed[k]);
    out[kSlotPaletteGreen + k] = loadRelaxed(e.paletteGreen[k]);
    out[kSlotPaletteBlue + k] = loadRelaxed(e.paletteBlue[k]);
  }
  for (const ByteField& f : kByteFields) out[f.index] = loadRelaxed(e.*f.field);
  out[kSlotCurrentColor + 0] = e.currentRed;
  out[kSlotCurrentColor + 1] = e.currentGreen;
  out[kSlotCurrentColor + 2] = e.currentBlue;
  out[kSlotRampState] = e.rampState;
  for (int i = 0; i < kSettingsBlockInts; ++i)
    out[kSlotSettings + i] = loadRelaxed(e.*kSettingsBlock[i]);
}

void recallSlotFields(VideoEngine& e, int slot) {
  if (!validSlot(slot)) return;
  const int32_t* in = slotInts(e, slot);
  // Bracketed, so the streaming thread fades from the whole look before and never from a
  // half-written one.
  e.fadeLink.recallBegins();
  for (int k = 0; k < kPaletteSize; ++k) {
    storeRelaxed(e.paletteRed[k], in[kSlotPaletteRed + k]);
    storeRelaxed(e.paletteGreen[k], in[kSlotPaletteGreen + k]);
    storeRelaxed(e.paletteBlue[k], in[kSlotPaletteBlue + k]);
  }
  for (const ByteField& f : kByteFields) storeRelaxed(e.*f.field, in[f.index] & 0xFF);
  e.currentRed = in[kSlotCurrentColor + 0];
  e.currentGreen = in[kSlotCurrentColor + 1];
  e.currentBlue = in[kSlotCurrentColor + 2];
  e.rampState = in[kSlotRampState];
  for (int i = 0; i < kSettingsBlockInts; ++i)
    storeRelaxed(e.*kSettingsBlock[i], in[kSlotSettings + i]);
  e.fadeLink.recallEnds();
}

}  // namespace vz
