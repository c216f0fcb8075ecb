// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QTimer>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "control/controller_actions.h"
#include "control/midi_input.h"
#include "engine/video_engine.h"
#include "tempo/beat_schedule.h"
#include "tempo/midi_clock.h"
#include "tempo/tap_tempo.h"
#include "tempo/tempo_clock.h"
#include "tempo/tempo_options.h"
#include "tempo/tempo_source.h"

namespace vz {

class EffectDialog;

// The program's tempo: the clock and its source, taps, and the recalls the beat makes (the
// sequence, recalls held to the beat or bar). Held recalls and sequence steps go through
// recallPreset like a letter key's, from a precise timer set to the beat; the colour steps
// are the streaming thread's own (engine.beatSteps). GUI thread, but for the MIDI clock sink.
class TempoControl final : public QObject {
  Q_OBJECT

 public:
  using Now = std::function<std::int64_t()>;  // steady-clock ns; tests inject their own

  TempoControl(EffectDialog& dialog, const TempoOptions& options, Now now = steadyNowNs);
  ~TempoControl() override;

  // Switches the source; a failure (Link or audio not available) prints one line and leaves
  // the tempo off.
  void setSource(TempoChoice choice);
  TempoChoice source() const { return choice_; }
  void tap();
  void setCycleRate(int stepsPerBeat);
  int cycleRate() const;
  void setSequence(const std::string& letters);
  void setSequenceBeats(int beats);
  void setQuantize(Quantize q);
  const BeatSchedule& schedule() const { return schedule_; }
  const TempoClock& clock() const { return clock_; }

  // A remote request of the tempo's kinds; false for any other.
  bool takeAction(const ControllerAction& action);
  // Where the MIDI input hands clock and transport; valid as long as this object.
  MidiInput::ClockSink midiClockSink();
  // Called on every tap (MIDI learn binds the tap to a controller this way).
  void setTapListener(std::function<void()> listener) { tapListener_ = std::move(listener); }

  // "120.0 BPM 2/4", empty with the tempo off.
  QString badgeText() const;

  // Looks at what is due now and sets the timer for what comes next (tests call it after
  // moving their clock).
  void poll();

 signals:
  void changed();

 private:
  void reschedule();
  void stage(int slot, std::int64_t dueNs);
  bool holdRecall(int slot);

  EffectDialog& dialog_;
  Now now_;
  TempoClock clock_;
  TempoChoice choice_;
  std::atomic<bool> followMidi_{false};
  std::mutex midiMutex_;  // the MIDI threads (one per source port) among themselves
  MidiClockFollower midi_{clock_};
  TapTempo taps_;
  BeatSchedule schedule_;
  std::unique_ptr<TempoSource> running_;  // Link, audio
  TempoSourceOptions sourceOptions_;
  QTimer beat_;             // single shot, precise: the next due recall
  QTimer follow_;           // picks up tempo changes the sources make on their own threads
  bool releasing_ = false;  // recalls made here pass the gate
  // The recall handed to the streaming thread: its slot, time and the slot's ints then.
  struct Staged {
    int slot = -1;
    std::int64_t dueNs = 0;
    std::vector<std::int32_t> ints;
  } staged_;
  std::unique_ptr<VideoEngine> scratch_;  // turns a slot into look fields
  std::function<void()> tapListener_;
};

}  // namespace vz
