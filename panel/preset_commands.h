// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/video_engine.h"
#include "ui/dialog_ops.h"
#include "ui/file_dialogs.h"
#include "ui/message_boxes.h"

namespace vz {

// A letter button: with Save pressed in it stores the live look into the slot, otherwise
// it recalls the slot; either way the controls follow the settings afterwards. True when it
// stored.
bool storeOrRecallPreset(VideoEngine& engine, DialogOps& dialog, int slot);
// The Save toggle: mirrors the button's pressed-in state.
void toggleSaveArmed(VideoEngine& engine);

// Save Presets and Load Presets: the whole preset store to and from a bank file chosen in
// the file dialogs, failures in message boxes, the path in the window title on success.
// True when the bank was saved or loaded.
bool savePresets(VideoEngine& engine, DialogOps& dialog, MessageBoxes& boxes, FileDialogs& files);
bool loadPresets(VideoEngine& engine, DialogOps& dialog, MessageBoxes& boxes, FileDialogs& files);

// INFO: the program's information box.
void showInfo(MessageBoxes& boxes);
std::string infoText();

}  // namespace vz
