// SPDX-License-Identifier: GPL-3.0-or-later
#include "panel/screen_input.h"

#include "engine/shared_value.h"
#include "panel/control_bindings.h"
#include "panel/recall_gate.h"
#include "panel/recall_notice.h"
#include "presets/preset_slot.h"
#include "res/control_ids.h"

namespace vz {

void enterFullScreen(VideoEngine& e, DialogOps& dialog) {
  dialog.setWindowFramed(false);
  const int width = dialog.screenWidth(), height = dialog.screenHeight();
  dialog.placeWindow(0, 0, width, height);
  dialog.placeControl(kIdPreview, 0, 0, width, height, Stacking::Top);
  e.fullScreen = 1;
}

void leaveFullScreen(VideoEngine& e, DialogOps& dialog) {
  const bool wasFullScreen = e.fullScreen != 0;
  dialog.setWindowFramed(true);
  dialog.placeWindow(0, 0, 1024, 740);
  dialog.placeControl(kIdPreview, 0, 0, 720, 480, Stacking::Top);
  e.fullScreen = 0;
  // Letter keys in full screen recall without touching the hidden controls; shown stale,
  // the next move would write the old look's values back over the recalled one.
  if (wasFullScreen) refreshControls(e, dialog);
}

void recallPreset(VideoEngine& e, DialogOps& dialog, int slot) {
  // The fade's length as it stands now (the source's rate, the tempo).
  e.fadeLink.refreshFrames();
  if (recallHeldByGate(slot)) return;  // quantized: it comes back here on the beat
  recallSlotFields(e, slot);
  applyModeVisibility(dialog, loadRelaxed(e.mode));
  announceRecall(e, slot);
}

KeyVerdict preTranslateKeyDown(VideoEngine& e, DialogOps& dialog, bool escape, char letter) {
  if (escape) {
    leaveFullScreen(e, dialog);
    return KeyVerdict::Consumed;  // never reaches Cancel: Escape never closes the program
  }
  if (letter >= 'A' && letter <= 'Z') {
    recallPreset(e, dialog, letter - 'A');
    if (e.fullScreen != 0) return KeyVerdict::PassOn;
    refreshControls(e, dialog);
    return KeyVerdict::Consumed;
  }
  return KeyVerdict::PassOn;
}

bool pickCurrentColor(VideoEngine& e, DialogOps& dialog, int x, int y) {
  if (y <= 12 || y >= 267) return false;
  int32_t* channel = nullptr;
  if (x > 740 && x < 760) channel = &e.currentRed;
  if (x > 765 && x < 785) channel = &e.currentGreen;
  if (x > 790 && x < 810) channel = &e.currentBlue;
  if (channel == nullptr) return false;
  *channel = 267 - y;
  dialog.invalidateArea(kColorPickerArea);
  return true;
}

}  // namespace vz
