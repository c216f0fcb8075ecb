// SPDX-License-Identifier: GPL-3.0-or-later
#include "panel/preset_session.h"

#include "panel/preset_commands.h"

namespace vz {

void PresetSession::OnPresetButton(int slot) {
  if (storeOrRecallPreset(engine_, dialog_, slot)) unsaved_ = true;
}

void PresetSession::OnSavePresets() {
  if (savePresets(engine_, dialog_, boxes_, files_)) unsaved_ = false;
}

void PresetSession::OnLoadPresets() {
  if (loadPresets(engine_, dialog_, boxes_, files_)) unsaved_ = false;  // the store replaced
}

bool PresetSession::OnClosing() {
  if (!unsaved_) return true;
  switch (boxes_.show("Save presets before quitting?", "Video Zarnix",
                      kMbYesNoCancel | kMbIconQuestion)) {
    case kIdYes:
      OnSavePresets();
      return !unsaved_;
    case kIdNo:
      return true;
    default:
      return false;
  }
}

}  // namespace vz
