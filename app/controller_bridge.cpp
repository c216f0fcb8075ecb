// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/controller_bridge.h"

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <cstdio>

#include "app/effect_dialog.h"
#include "app/track_bar.h"
#include "control/midi_input.h"
#include "control/osc_input.h"
#include "res/control_ids.h"

namespace vz {

ControllerBridge::ControllerBridge(EffectDialog& dialog, const ControllerOptions& options,
                                   RecordHook record, std::string mappingsPath,
                                   MidiInput::ClockSink clock)
    : dialog_(dialog),
      actions_(dialog.engine, dialog.dialogOps(),
               record ? DialogActions::RecordHook([record](bool on) {
                 record(on, QApplication::activeModalWidget() == nullptr);
               })
                      : DialogActions::RecordHook()),
      queue_([this] {
        QMetaObject::invokeMethod(this, &ControllerBridge::drain, Qt::QueuedConnection);
      }),
      mappingsPath_(std::move(mappingsPath)) {
  if (!mappingsPath_.empty())
    for (const MidiMapping& m : loadMappingsFile(mappingsPath_)) mappings_.set(m);
  watchUserMoves();
  qApp->installEventFilter(this);

  auto sink = [this](const ControllerAction& a) { queue_.post(a); };
  std::string error;
  if (options.midi) {
    midi_ = MidiInput::start(sink, &error, std::move(clock));
    if (!midi_) std::fprintf(stderr, "videozarnix: running without MIDI: %s\n", error.c_str());
  }
  if (options.oscPort != 0) {
    osc_ = OscInput::start(options.oscBind, options.oscPort, options.verbose, sink, &error);
    if (!osc_) std::fprintf(stderr, "videozarnix: running without OSC: %s\n", error.c_str());
  }
}

ControllerBridge::~ControllerBridge() {
  qApp->removeEventFilter(this);
  midi_.reset();  // no input thread may post once the queue goes
  osc_.reset();
}

void ControllerBridge::drain() {
  for (const ControllerAction& a : queue_.take()) {
    if (a.kind != ControllerAction::Kind::MidiCc) {
      run(a);
      continue;
    }
    const int channel = a.target / 128, controller = a.target % 128;
    if (learn_.armed()) {
      learned(learn_.controllerChanged(channel, controller));
    } else if (auto mapped = mappings_.map(channel, controller, a.value)) {
      run(*mapped);
    }
  }
}

void ControllerBridge::run(const ControllerAction& a) {
  if (tempoActions_ && tempoActions_(a)) return;
  applyAction(a, actions_);
}

void ControllerBridge::userTapped() {
  if (learn_.armed()) learned(learn_.controlMoved(*findControlTarget("tap")));
}

void ControllerBridge::watchUserMoves() {
  int count = 0;
  const ControlTarget* targets = controlTargets(&count);
  for (int i = 0; i < count; ++i) {
    const ControlTarget& t = targets[i];
    if (t.kind == ControlTarget::Kind::Mode) {
      for (int id = kIdModeFirst; id <= kIdModeLast; ++id)
        if (auto* radio = qobject_cast<QAbstractButton*>(dialog_.control(id)))
          connect(radio, &QAbstractButton::clicked, this,
                  [this, &t] { learned(learn_.controlMoved(t)); });
    } else if (auto* slider = qobject_cast<TrackBar*>(dialog_.control(t.id))) {
      connect(slider, &TrackBar::scrolled, this, [this, &t] { learned(learn_.controlMoved(t)); });
    } else if (auto* box = qobject_cast<QAbstractButton*>(dialog_.control(t.id))) {
      connect(box, &QAbstractButton::clicked, this,
              [this, &t] { learned(learn_.controlMoved(t)); });
    }
  }
}

void ControllerBridge::learned(const std::optional<MidiMapping>& mapping) {
  if (!mapping) return;
  mappings_.set(*mapping);
  save();
  emit learningChanged(false);
}

void ControllerBridge::setLearning(bool on) {
  if (on == learn_.armed()) return;
  on ? learn_.arm() : learn_.cancel();
  emit learningChanged(on);
}

void ControllerBridge::clearMappings() {
  mappings_.clear();
  save();
}

void ControllerBridge::save() {
  if (mappingsPath_.empty()) {
    std::fprintf(stderr, "videozarnix: MIDI mappings not saved: no HOME or XDG_CONFIG_HOME\n");
    return;
  }
  std::string error;
  if (!saveMappingsFile(mappingsPath_, mappings_.all(), &error))
    std::fprintf(stderr, "videozarnix: MIDI mappings not saved: %s\n", error.c_str());
}

bool ControllerBridge::eventFilter(QObject* watched, QEvent* event) {
  // Escape cancels learning and still does what it always does (leaves full screen).
  if (event->type() == QEvent::KeyPress && learn_.armed() && watched->isWidgetType() &&
      static_cast<QWidget*>(watched)->window() == &dialog_ &&
      static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape)
    setLearning(false);
  return false;
}

}  // namespace vz
