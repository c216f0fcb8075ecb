// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/tempo_ui.h"

#include <QActionGroup>
#include <QMenu>
#include <QShortcut>
#include <cstdio>

#include "app/effect_dialog.h"
#include "app/tempo_control.h"
#include "tempo/beat_steps.h"
#include "ui/text_prompts.h"

namespace vz {

TempoBadge::TempoBadge(QWidget* preview, TempoControl& tempo, std::function<bool()> fullScreen)
    // Read 20 times a second: the beat within the bar moves twice a second at 120.
    : PreviewBadge(
          preview, {QRect(126, 8, 150, 24), QColor(120, 220, 255), false, 50},
          [&tempo] { return tempo.badgeText(); }, std::move(fullScreen)) {
  connect(&tempo, &TempoControl::changed, this, &TempoBadge::refresh);
}

namespace {

template <class T, class Set>
void addChoice(QMenu* menu, QActionGroup* group, const QString& label, bool checked, T value,
               Set set) {
  QAction* a = menu->addAction(label);
  a->setCheckable(true);
  a->setChecked(checked);
  a->setActionGroup(group);
  QObject::connect(a, &QAction::triggered, menu, [set, value] { set(value); });
}

void askFixedTempo(TempoControl& tempo, TextPrompts& prompts) {
  const TempoState s = tempo.clock().read();
  const std::string initial = s.running ? QString::number(s.bpm, 'f', 1).toStdString() : "120";
  const auto answer = prompts.askText("Fixed Tempo", "Tempo in BPM (20 to 300):", initial);
  if (!answer) return;
  auto choice = parseTempoChoice(*answer);
  if (!choice || choice->kind != TempoSourceKind::Fixed) {
    std::fprintf(stderr, "videozarnix: not a tempo of 20 to 300 BPM: the tempo is unchanged\n");
    return;
  }
  tempo.setSource(*choice);
}

void askSequence(TempoControl& tempo, TextPrompts& prompts) {
  const auto answer =
      prompts.askText("Sequence", "Preset letters to recall in turn on the beat (empty stops):",
                      tempo.schedule().sequenceLetters());
  if (!answer) return;
  TempoOptions check;
  if (const Status s = applyTempoOption("sequence", *answer, check); !s.ok()) {
    std::fprintf(stderr, "videozarnix: %s\n", s.message().c_str());
    return;
  }
  tempo.setSequence(*answer);
}

}  // namespace

void addTempoMenu(QMenu& parent, TempoControl& tempo, TextPrompts& prompts) {
  QMenu* menu = parent.addMenu(QObject::tr("Tempo"));
  auto* sources = new QActionGroup(menu);
  const TempoSourceKind current = tempo.source().kind;
  auto setSource = [&tempo](TempoSourceKind k) { tempo.setSource({k, 0.0}); };
  addChoice(menu, sources, QObject::tr("Off"), current == TempoSourceKind::Off,
            TempoSourceKind::Off, setSource);
  addChoice(menu, sources, QObject::tr("Tap"), current == TempoSourceKind::Tap,
            TempoSourceKind::Tap, setSource);
  addChoice(menu, sources, QObject::tr("MIDI Clock"), current == TempoSourceKind::Midi,
            TempoSourceKind::Midi, setSource);
  const int peers = tempo.clock().read().peers;
  addChoice(menu, sources,
            current == TempoSourceKind::Link ? QObject::tr("Link (%n peer(s))", nullptr, peers)
                                             : QObject::tr("Link"),
            current == TempoSourceKind::Link, TempoSourceKind::Link, setSource);
  addChoice(menu, sources, QObject::tr("Audio Input"), current == TempoSourceKind::Audio,
            TempoSourceKind::Audio, setSource);
  QAction* fixed = menu->addAction(QObject::tr("Fixed Tempo..."));
  fixed->setCheckable(true);
  fixed->setChecked(current == TempoSourceKind::Fixed);
  fixed->setActionGroup(sources);
  QObject::connect(fixed, &QAction::triggered, menu,
                   [&tempo, &prompts] { askFixedTempo(tempo, prompts); });

  menu->addSeparator();
  QAction* tap = menu->addAction(QObject::tr("Tap Tempo"), menu, [&tempo] { tempo.tap(); });
  tap->setShortcut(kTapKey);

  menu->addSeparator();
  QMenu* steps = menu->addMenu(QObject::tr("Colour Steps per Beat"));
  auto* stepGroup = new QActionGroup(steps);
  for (int rate : BeatSteps::kRates)
    addChoice(steps, stepGroup, QString::number(rate), tempo.cycleRate() == rate, rate,
              [&tempo](int n) { tempo.setCycleRate(n); });

  QMenu* quantize = menu->addMenu(QObject::tr("Quantize Recalls"));
  auto* quantizeGroup = new QActionGroup(quantize);
  const Quantize q = tempo.schedule().quantize();
  auto setQuantize = [&tempo](Quantize v) { tempo.setQuantize(v); };
  addChoice(quantize, quantizeGroup, QObject::tr("Off"), q == Quantize::Off, Quantize::Off,
            setQuantize);
  addChoice(quantize, quantizeGroup, QObject::tr("Next Beat"), q == Quantize::Beat, Quantize::Beat,
            setQuantize);
  addChoice(quantize, quantizeGroup, QObject::tr("Next Bar"), q == Quantize::Bar, Quantize::Bar,
            setQuantize);

  menu->addAction(QObject::tr("Sequence..."), menu,
                  [&tempo, &prompts] { askSequence(tempo, prompts); });
  QMenu* every = menu->addMenu(QObject::tr("Sequence Beats"));
  auto* everyGroup = new QActionGroup(every);
  for (int beats : {1, 2, 4, 8, 16})
    addChoice(every, everyGroup, QString::number(beats), tempo.schedule().sequenceBeats() == beats,
              beats, [&tempo](int n) { tempo.setSequenceBeats(n); });
}

void installTapKey(EffectDialog& dialog, TempoControl& tempo) {
  auto* key = new QShortcut(QKeySequence(kTapKey), &dialog);
  key->setContext(Qt::ApplicationShortcut);
  key->setAutoRepeat(false);  // a held key is one tap
  QObject::connect(key, &QShortcut::activated, &tempo, [&tempo] { tempo.tap(); });
}

}  // namespace vz
