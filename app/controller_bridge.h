// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <functional>
#include <memory>
#include <string>

#include "control/action_queue.h"
#include "control/controller_options.h"
#include "control/dialog_actions.h"
#include "control/midi_input.h"
#include "control/midi_mappings.h"
#include "control/osc_learn.h"
#include "control/osc_mappings.h"

namespace vz {

class EffectDialog;
class FeedbackBridge;
class MidiInput;
class OscInput;

// Brings MIDI and OSC requests onto the GUI thread: the input threads post into a
// coalescing queue, one queued call drains it, and each request runs on the dialog as the
// user's own move would. Also MIDI and OSC learn, the mappings file they share, and the
// feedback.
class ControllerBridge final : public QObject {
  Q_OBJECT

 public:
  // Starts or stops recording; `mayShowBox` is false while a message box or file dialog is
  // open, when failures must go to stderr instead of a second box.
  using RecordHook = std::function<void(bool on, bool mayShowBox)>;

  // `clock` hears MIDI clock and transport on the MIDI threads; it must outlive the bridge.
  ControllerBridge(EffectDialog& dialog, const ControllerOptions& options, RecordHook record = {},
                   std::string mappingsPath = midiMappingsPath(), MidiInput::ClockSink clock = {});
  ~ControllerBridge() override;

  void setLearning(bool on);
  bool learning() const { return learn_.armed(); }
  void clearMappings();
  // Requests the tempo takes (true: taken) before the dialog sees them. GUI thread.
  void setTempoActions(std::function<bool(const ControllerAction&)> take) {
    tempoActions_ = std::move(take);
  }
  // A tap from the keyboard or the menu: while learning, it is the control to bind.
  void userTapped();
  const MidiMappings& mappings() const { return mappings_; }
  void setOscLearning(bool on);
  bool oscLearning() const { return oscLearn_.armed(); }
  void clearOscMappings();
  // The learned addresses, their controls and forms; safe to read on any thread.
  const OscMappings& oscMappings() const { return oscMappings_; }
  // Where requests from the inputs go; tests may post here directly.
  ActionQueue& queue() { return queue_; }
  MidiInput* midi() const { return midi_.get(); }
  OscInput* osc() const { return osc_.get(); }
  // The look flowing back to the controllers.
  FeedbackBridge& feedback() const { return *feedback_; }

 signals:
  void learningChanged(bool on);
  void oscLearningChanged(bool on);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void drain();
  void run(const ControllerAction& action);
  void watchUserMoves();
  void controlMoved(const ControlTarget& target);
  void learned(const std::optional<MidiMapping>& mapping);
  void oscLearned(const std::optional<OscLearned>& learned);
  void save();

  EffectDialog& dialog_;
  DialogActions actions_;
  ActionQueue queue_;
  MidiMappings mappings_;
  MidiLearn learn_;
  OscMappings oscMappings_;  // read by the OSC thread
  OscLearn oscLearn_;        // offered addresses by the OSC thread
  std::string mappingsPath_;
  std::function<bool(const ControllerAction&)> tempoActions_;
  std::unique_ptr<FeedbackBridge> feedback_;  // before the inputs, which report to it
  std::unique_ptr<MidiInput> midi_;           // the inputs go first: they post into queue_
  std::unique_ptr<OscInput> osc_;
};

}  // namespace vz
