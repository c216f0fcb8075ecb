// SPDX-License-Identifier: GPL-3.0-or-later
#include "control/dialog_actions.h"

#include <cstdio>

#include "control/control_targets.h"
#include "engine/shared_value.h"
#include "panel/control_bindings.h"
#include "panel/screen_input.h"
#include "res/control_ids.h"

namespace vz {

void DialogActions::recallPreset(int slot) {
  if (slot < 0 || slot >= 26) return;
  vz::recallPreset(engine_, dialog_, slot);
  // Always, also in full screen: otherwise the next remote slider move would write the
  // stale positions of the other sliders back over the recalled look.
  refreshControls(engine_, dialog_);
}

void DialogActions::setMode(int mode) {
  if (mode < 0 || mode > 9) return;
  const int radio = kIdModeFirst + mode;
  if (radio <= kIdModeLast) {
    dialog_.checkRadioButton(kIdModeFirst, kIdModeLast, radio);
    onModeRadio(engine_, dialog_, radio);
  } else {
    dialog_.checkRadioButton(kIdModeFirst, kIdModeLast, 0);
    storeRelaxed(engine_.mode, mode);
  }
}

void DialogActions::moveSlider(int id, int position) {
  const ControlTarget* t = controlTargetById(id);
  if (t == nullptr || t->kind != ControlTarget::Kind::Slider) return;
  dialog_.setSliderPos(id, position);
  t->setting->control.vertical ? onVerticalScroll(engine_, dialog_)
                               : onHorizontalScroll(engine_, dialog_);
}

void DialogActions::setSwitch(int id, bool on) {
  const ControlTarget* t = controlTargetById(id);
  if (t == nullptr || t->kind != ControlTarget::Kind::Switch) return;
  storeSetting(engine_, t->setting->fields[t->channel], on ? 1 : 0);
  dialog_.checkDlgButton(id, on);
}

void DialogActions::setFullScreen(bool on) {
  if ((engine_.fullScreen != 0) == on) return;
  on ? enterFullScreen(engine_, dialog_) : leaveFullScreen(engine_, dialog_);
}

void DialogActions::setRecording(bool on) {
  if (record_) {
    record_(on);
    return;
  }
  std::fprintf(stderr, "videozarnix: recording is not available in this build\n");
}

void applyAction(const ControllerAction& a, ControllerActions& actions) {
  using K = ControllerAction::Kind;
  switch (a.kind) {
    case K::Preset:
      actions.recallPreset(a.value);
      break;
    case K::Mode:
      actions.setMode(a.value);
      break;
    case K::Slider:
      actions.moveSlider(a.target, a.value);
      break;
    case K::Switch:
      actions.setSwitch(a.target, a.value != 0);
      break;
    case K::FullScreen:
      actions.setFullScreen(a.value != 0);
      break;
    case K::Record:
      actions.setRecording(a.value != 0);
      break;
    case K::MidiCc:
      break;  // mapped before it gets here
    case K::TempoBpm:
    case K::TempoSource:
    case K::Tap:
    case K::CycleRate:
    case K::Sequence:
    case K::SequenceBeats:
    case K::Quantize:
      break;  // the tempo control takes these before they get here
  }
}

}  // namespace vz
