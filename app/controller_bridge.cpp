// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/controller_bridge.h"

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <cstdio>

#include "app/effect_dialog.h"
#include "app/feedback_bridge.h"
#include "app/track_bar.h"
#include "control/midi_input.h"
#include "control/osc_input.h"
#include "engine/setting_names.h"
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
  if (!mappingsPath_.empty()) {
    for (const MidiMapping& m : loadMappingsFile(mappingsPath_)) mappings_.set(m);
    for (const OscMapping& m : loadOscMappingsFile(mappingsPath_)) oscMappings_.set(m);
  }
  watchUserMoves();
  qApp->installEventFilter(this);

  feedback_ = std::make_unique<FeedbackBridge>(dialog.engine, options, mappings_);
  // Learned addresses hear their control's changes back in the form they came in.
  feedback_->setOscForms(
      [this](const StateItem& item, const FeedbackValue& value, std::vector<OscOut>& out) {
        if (item.target == nullptr) return;
        int engineValue = -1;
        if (const int* i = std::get_if<int>(&value)) engineValue = *i;
        if (const std::string* name = std::get_if<std::string>(&value))
          engineValue = findModeName(*name);  // the mode goes out by name
        if (engineValue < 0 && !std::holds_alternative<int>(value)) return;
        for (const OscMapping& m : oscMappings_.all())
          if (m.target == item.target)
            std::visit([&](auto v) { out.emplace_back(m.address, FeedbackValue(v)); },
                       oscLearnedValue(m, engineValue));
      });
  auto sink = [this](const ControllerAction& a) { queue_.post(a); };
  if (options.midi) {
    Result<std::unique_ptr<MidiInput>> midi = MidiInput::start(sink, std::move(clock));
    if (midi)
      midi_ = std::move(*midi);
    else
      std::fprintf(stderr, "videozarnix: running without MIDI: %s\n", midi.message().c_str());
  }
  if (options.oscPort != 0) {
    auto unknown = [this](const OscUnknown& u) {
      if (oscLearn_.offer(u))
        QMetaObject::invokeMethod(
            this, [this] { oscLearned(oscLearn_.addressOffered()); }, Qt::QueuedConnection);
      return oscLearn_.armed();
    };
    auto peers = [feedback = feedback_.get()](const OscPeer& peer,
                                              const std::vector<OscRequest>& r) {
      feedback->oscPacket(peer, r);
    };
    auto osc = OscInput::start(
        {options.oscBind, options.oscPort, options.verbose, sink, &oscMappings_, unknown, peers});
    if (osc)
      osc_ = std::move(*osc);
    else
      std::fprintf(stderr, "videozarnix: running without OSC: %s\n", osc.message().c_str());
  }
  feedback_->attach(osc_ ? osc_->socket() : -1, midi_.get());
}

ControllerBridge::~ControllerBridge() {
  qApp->removeEventFilter(this);
  midi_.reset();  // no input thread may post once the queue goes
  osc_.reset();
  feedback_.reset();
}

void ControllerBridge::drain() {
  for (const ControllerAction& a : queue_.take()) {
    if (a.kind == ControllerAction::Kind::MidiPc) feedback_->heardProgram(a.target, a.value);
    if (a.kind != ControllerAction::Kind::MidiCc) {
      run(a);
      continue;
    }
    const int channel = a.target / 128, controller = a.target % 128;
    // The change that completes learning is the first the new mapping carries out.
    if (learn_.armed()) {
      const std::optional<MidiMapping> mapping = learn_.controllerChanged(channel, controller);
      learned(mapping);
      if (!mapping) continue;  // the controller is chosen; the control is still to come
    }
    for (const MidiMapping& m : mappings_.all())
      if (m.channel == channel && m.controller == controller) {
        run(mappedAction(m, a.value));
        // That controller shows the value already: no echo.
        feedback_->heardController(channel, controller, *m.target);
        break;
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
    if (t.kind == ControlTarget::Kind::Tap) continue;  // no dialog control: userTapped()
    if (t.kind == ControlTarget::Kind::Mode) {
      for (int id = kIdModeFirst; id <= kIdModeLast; ++id)
        if (auto* radio = qobject_cast<QAbstractButton*>(dialog_.control(id)))
          connect(radio, &QAbstractButton::clicked, this, [this, &t] { controlMoved(t); });
    } else if (auto* slider = qobject_cast<TrackBar*>(dialog_.control(t.id))) {
      connect(slider, &TrackBar::scrolled, this, [this, &t] { controlMoved(t); });
    } else if (auto* box = qobject_cast<QAbstractButton*>(dialog_.control(t.id))) {
      connect(box, &QAbstractButton::clicked, this, [this, &t] { controlMoved(t); });
    }
  }
}

void ControllerBridge::controlMoved(const ControlTarget& target) {
  learned(learn_.controlMoved(target));
  oscLearned(oscLearn_.controlMoved(target));
}

void ControllerBridge::learned(const std::optional<MidiMapping>& mapping) {
  if (!mapping) return;
  mappings_.set(*mapping);
  feedback_->mappingsChanged();
  save();
  emit learningChanged(false);
}

void ControllerBridge::setLearning(bool on) {
  if (on == learn_.armed()) return;
  on ? learn_.arm() : learn_.cancel();
  emit learningChanged(on);
}

void ControllerBridge::oscLearned(const std::optional<OscLearned>& learned) {
  if (!learned) return;
  oscMappings_.set(learned->mapping);
  save();
  if (learned->apply) run(*learned->apply);
  emit oscLearningChanged(false);
}

void ControllerBridge::setOscLearning(bool on) {
  if (on == oscLearn_.armed()) return;
  on ? oscLearn_.arm() : oscLearn_.cancel();
  emit oscLearningChanged(on);
}

void ControllerBridge::clearOscMappings() {
  oscMappings_.clear();
  save();
}

void ControllerBridge::clearMappings() {
  mappings_.clear();
  feedback_->mappingsChanged();
  save();
}

void ControllerBridge::save() {
  if (mappingsPath_.empty()) {
    std::fprintf(stderr, "videozarnix: mappings not saved: no HOME or XDG_CONFIG_HOME\n");
    return;
  }
  const auto midi = mappings_.all();
  const auto osc = oscMappings_.all();
  const Status saved = rewriteMappingsFile(mappingsPath_, [&](std::string_view text) {
    std::vector<OwnedLine> lines;
    for (const OscMapping& m : osc) lines.push_back({m.address, formatOscMapping(m)});
    return rewriteOwnedLines(rewriteMidiLines(text, midi), oscLineKey, lines);
  });
  if (!saved)
    std::fprintf(stderr, "videozarnix: mappings not saved: %s\n", saved.message().c_str());
}

bool ControllerBridge::eventFilter(QObject* watched, QEvent* event) {
  // Escape cancels learning and still does what it always does (leaves full screen).
  if (event->type() == QEvent::KeyPress && (learn_.armed() || oscLearn_.armed()) &&
      watched->isWidgetType() && static_cast<QWidget*>(watched)->window() == &dialog_ &&
      static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
    setLearning(false);
    setOscLearning(false);
  }
  return false;
}

}  // namespace vz
