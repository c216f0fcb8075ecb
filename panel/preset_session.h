// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/video_engine.h"
#include "ui/dialog_ops.h"
#include "ui/file_dialogs.h"
#include "ui/message_boxes.h"

namespace vz {

// The dialog's preset commands over one run of the program. It remembers whether a look was
// stored into a slot since the bank was last saved or loaded (or since start-up), so that
// closing never throws such a look away without a word.
class PresetSession {
 public:
  PresetSession(VideoEngine& engine, DialogOps& dialog, MessageBoxes& boxes, FileDialogs& files)
      : engine_(engine), dialog_(dialog), boxes_(boxes), files_(files) {}

  void OnPresetButton(int slot);  // a letter button: store or recall
  void OnSavePresets();
  void OnLoadPresets();

  // The program is about to close: true when it may. With unsaved looks it asks first: Yes
  // saves the bank (closing only once it is saved), No closes, Cancel keeps the program.
  bool OnClosing();
  // A look was stored into a slot since the bank was last saved or loaded.
  bool unsaved() const { return unsaved_; }

 private:
  VideoEngine& engine_;
  DialogOps& dialog_;
  MessageBoxes& boxes_;
  FileDialogs& files_;
  bool unsaved_ = false;
};

}  // namespace vz
