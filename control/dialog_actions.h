// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>

#include "control/controller_actions.h"
#include "engine/video_engine.h"
#include "ui/dialog_ops.h"

namespace vz {

// Remote requests carried out on the dialog through the same bindings its own controls
// use. GUI thread only.
class DialogActions final : public ControllerActions {
 public:
  // Recording belongs to the output side; without it a request says so on stderr.
  using RecordHook = std::function<void(bool on)>;

  DialogActions(VideoEngine& engine, DialogOps& dialog, RecordHook record = {})
      : engine_(engine), dialog_(dialog), record_(std::move(record)) {}

  void recallPreset(int slot) override;
  void setMode(int mode) override;
  void moveSlider(int id, int position) override;
  void setSwitch(int id, bool on) override;
  void setFullScreen(bool on) override;
  void setRecording(bool on) override;
  void setFade(int milliseconds) override;

 private:
  VideoEngine& engine_;
  DialogOps& dialog_;
  RecordHook record_;
};

// Runs one request against the actions (the MIDI mapping has already turned controller
// changes into requests of their own).
void applyAction(const ControllerAction& action, ControllerActions& actions);

}  // namespace vz
