// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace vz {

// One remote request, as the MIDI and OSC threads hand it to the GUI thread. Plain data:
// `target` names what is changed (a control id, a MIDI channel and controller), `value`
// what it becomes.
struct ControllerAction {
  enum class Kind {
    Preset,      // value: slot 0..25
    Mode,        // value: EffectMode 0..9
    Slider,      // target: slider id, value: slider position
    Switch,      // target: check box id, value: 0 or 1
    FullScreen,  // value: 0 or 1
    Record,      // value: 0 or 1
    MidiCc,      // target: channel * 128 + controller, value: 0..127 (mapped on the GUI thread)
    // The tempo's requests, carried out by the tempo control rather than the dialog.
    TempoBpm,       // value: a fixed tempo in thousandths of a BPM
    TempoSource,    // text: off, tap, midi, link or audio
    Tap,            // target: 1 pressed (taps), 0 released, so a release never replaces a tap
    CycleRate,      // value: colour-cycle steps a beat
    Sequence,       // text: preset letters, empty stops
    SequenceBeats,  // value: beats between the sequence's recalls
    Quantize,       // text: off, beat or bar
  };
  Kind kind;
  int target = 0;
  int value = 0;
  std::string text = {};

  // Requests with the same key replace each other: the latest value wins.
  bool sameKey(const ControllerAction& o) const { return kind == o.kind && target == o.target; }
  bool operator==(const ControllerAction&) const = default;
};

// What a remote request does on the dialog: the application implements it on the GUI
// thread, exactly as the user's own click, key or slider move would do it.
class ControllerActions {
 public:
  virtual ~ControllerActions() = default;
  // A letter key's recall, then the controls follow the recalled settings (also in full
  // screen).
  virtual void recallPreset(int slot) = 0;
  // Modes with a radio check it; the others leave every Mode radio unchecked.
  virtual void setMode(int mode) = 0;
  // The slider moves to `position` and its scroll notification is handled.
  virtual void moveSlider(int id, int position) = 0;
  // Sets (never toggles) a switch; its check mark follows.
  virtual void setSwitch(int id, bool on) = 0;
  virtual void setFullScreen(bool on) = 0;
  virtual void setRecording(bool on) = 0;
};

}  // namespace vz
