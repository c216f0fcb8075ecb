// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "control/controller_options.h"
#include "control/look_changes.h"
#include "control/midi_output.h"
#include "control/osc_feedback.h"
#include "panel/recall_notice.h"

namespace vz {

class MidiInput;
class MidiMappings;

// The look and the state flowing back to the controllers: polled on the GUI thread about
// 60 times a second while anyone listens, and what changed goes to the OSC targets, the
// OSC subscribers and the mapped MIDI controllers. Queries are answered here too.
class FeedbackBridge final : public QObject, public RecallListener {
  Q_OBJECT

 public:
  using Clock = std::function<std::int64_t()>;  // steady-clock nanoseconds, any thread
  static std::int64_t steadyNow();

  FeedbackBridge(const VideoEngine& engine, const ControllerOptions& options,
                 const MidiMappings& mappings, Clock clock = steadyNow);
  ~FeedbackBridge() override;

  // Where recording's state is read (the output side); until then, never recording.
  void setRecording(std::function<bool()> recording) { recording_ = std::move(recording); }
  // More OSC forms of a change, sent with our own address (an address learned from a
  // tablet, in the form it came): appended for every change, to every OSC listener.
  using OscForms = std::function<void(const StateItem& item, const FeedbackValue& value,
                                      std::vector<OscOut>& out)>;
  void setOscForms(OscForms forms) { oscForms_ = std::move(forms); }
  // The inputs, once they run: answers leave from the OSC port, MIDI from the MIDI port.
  void attach(int oscReplySocket, MidiInput* midi);

  // The OSC input's thread: a packet from `peer` with its feedback requests.
  void oscPacket(const OscPeer& peer, const std::vector<OscRequest>& requests);
  // GUI thread, after a mapped controller's change was carried out on `target`.
  void heardController(int channel, int controller, const ControlTarget& target);
  void heardProgram(int channel, int slot);
  void mappingsChanged();

  // One round of comparing and sending (the timer's; tests call it directly).
  void tick();
  LookChanges& changes() { return changes_; }
  OscSubscribers& subscribers() { return subscribers_; }
  const OscSender* sender() const { return sender_.get(); }

  void recalled(const VideoEngine& engine, int slot) override;

 private:
  void answer(const OscPeer& peer, const std::vector<OscRequest>& requests);
  std::vector<OscOut> messages(const std::vector<StateChange>& batch) const;
  void updateTimer();

  const VideoEngine& engine_;
  const MidiMappings& mappings_;
  Clock clock_;
  bool verbose_;
  LookChanges changes_;
  std::optional<int> lastRecalled_;
  std::function<bool()> recording_;
  OscForms oscForms_;
  std::vector<OscPeer> targets_;
  OscSubscribers subscribers_;
  std::unique_ptr<OscSender> sender_;
  MidiFeedback midiFeedback_;
  MidiInput* midi_ = nullptr;
  int midiDestinations_ = 0;  // connections out of our MIDI port at the last tick
  bool oscListening_ = false;
  QTimer timer_;
};

}  // namespace vz
