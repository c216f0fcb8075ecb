// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/tempo_control.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "app/effect_dialog.h"
#include "panel/control_bindings.h"
#include "panel/recall_gate.h"
#include "panel/screen_input.h"
#include "presets/preset_slot.h"

namespace vz {

namespace {

// The timer fires this much before a beat: its own lateness is about a millisecond. The look
// itself is on screen from the frame nearest the beat already (staged for the streaming
// thread); the recall here brings the controls and everything else along.
constexpr std::int64_t kLeadNs = 2'000'000;
constexpr int kFollowMs = 20;

std::unique_ptr<TempoSource> makeSource(TempoSourceKind kind, TempoClock& clock,
                                        const TempoSourceOptions& options) {
#ifdef VZ_HAVE_LINK_TEMPO
  if (kind == TempoSourceKind::Link) return makeLinkTempoSource(clock, options);
#endif
#ifdef VZ_HAVE_AUDIO_TEMPO
  if (kind == TempoSourceKind::Audio) return makeAudioTempoSource(clock, options);
#endif
  (void)kind;
  (void)clock;
  (void)options;
  return nullptr;
}

}  // namespace

TempoControl::TempoControl(EffectDialog& dialog, const TempoOptions& options, Now now)
    : dialog_(dialog), now_(std::move(now)) {
  sourceOptions_.audioInput = options.audioInput;
  beat_.setSingleShot(true);
  beat_.setTimerType(Qt::PreciseTimer);
  connect(&beat_, &QTimer::timeout, this, &TempoControl::poll);
  connect(&follow_, &QTimer::timeout, this, &TempoControl::reschedule);
  dialog_.engine.beatSteps.setClock(&clock_);
  dialog_.engine.beatSteps.setStepsPerBeat(options.cycleRate);
  schedule_.setQuantize(options.quantize);
  schedule_.setSequenceBeats(options.sequenceBeats, clock_.read(), now_());
  setRecallGate([this](int slot) { return holdRecall(slot); });
  setSource(options.tempo);
  if (!options.sequence.empty()) setSequence(options.sequence);
}

TempoControl::~TempoControl() {
  setRecallGate({});
  dialog_.engine.stagedLook.cancel();
  dialog_.engine.beatSteps.setClock(nullptr);  // the streaming thread lets go of the clock
  if (running_) running_->stop();
}

void TempoControl::setSource(TempoChoice choice) {
  if (running_) {
    running_->stop();
    running_.reset();
  }
  {
    // A MIDI thread in the middle of a clock finishes it before another source takes over.
    const std::lock_guard lock(midiMutex_);
    followMidi_.store(false, std::memory_order_relaxed);
  }
  choice_ = choice;
  switch (choice.kind) {
    case TempoSourceKind::Off:
      clock_.stop();
      break;
    case TempoSourceKind::Fixed: {
      // From a running beat, the new tempo goes on from the beat where it is now.
      const TempoState s = clock_.read();
      const std::int64_t now = now_();
      clock_.set(choice.bpm, now, s.running ? beatAt(s, now) : 0.0);
      break;
    }
    case TempoSourceKind::Tap:
      break;  // the tempo as it is until four taps set it
    case TempoSourceKind::Midi: {
      clock_.stop();
      const std::lock_guard lock(midiMutex_);
      midi_.reset();
      followMidi_.store(true, std::memory_order_relaxed);
      break;
    }
    case TempoSourceKind::Link:
    case TempoSourceKind::Audio: {
      clock_.stop();
      running_ = makeSource(choice.kind, clock_, sourceOptions_);
      if (!running_) {
        std::fprintf(stderr, "videozarnix: the %s tempo source is not built into this program\n",
                     tempoSourceName(choice.kind));
        choice_ = {};
        break;
      }
      if (const Status s = running_->start(); !s.ok()) {
        std::fprintf(stderr, "videozarnix: %s\n", s.message().c_str());
        running_.reset();
        clock_.stop();
        choice_ = {};
      }
      break;
    }
  }
  // Sources that move the clock from their own threads are followed by a light poll.
  if (choice_.kind == TempoSourceKind::Off || choice_.kind == TempoSourceKind::Fixed)
    follow_.stop();
  else
    follow_.start(kFollowMs);
  reschedule();
  emit changed();
}

void TempoControl::tap() {
  const std::int64_t now = now_();
  if (tapListener_) tapListener_();
  if (choice_.kind == TempoSourceKind::Midi || choice_.kind == TempoSourceKind::Audio)
    return;  // the music's own clock rules; a tap would fight it
  const auto beat = taps_.tap(now);
  if (choice_.kind == TempoSourceKind::Link) {
    if (beat && running_) running_->proposeTempo(beat->bpm, beat->beatNs);
    return;
  }
  if (choice_.kind != TempoSourceKind::Tap) setSource({TempoSourceKind::Tap, 0.0});
  if (!beat) return;
  clock_.set(beat->bpm, beat->beatNs, beat->beatIndex);
  reschedule();
  emit changed();
}

void TempoControl::setCycleRate(int stepsPerBeat) {
  dialog_.engine.beatSteps.setStepsPerBeat(stepsPerBeat);
  emit changed();
}

int TempoControl::cycleRate() const {
  return dialog_.engine.beatSteps.stepsPerBeat();
}

void TempoControl::setSequence(const std::string& letters) {
  schedule_.setSequence(letters, clock_.read(), now_());
  reschedule();
  emit changed();
}

void TempoControl::setSequenceBeats(int beats) {
  schedule_.setSequenceBeats(beats, clock_.read(), now_());
  reschedule();
  emit changed();
}

void TempoControl::setQuantize(Quantize q) {
  schedule_.setQuantize(q);
  reschedule();
  emit changed();
}

bool TempoControl::holdRecall(int slot) {
  if (releasing_) return false;
  if (!schedule_.holdRecall(slot, clock_.read(), now_())) return false;
  reschedule();
  return true;
}

void TempoControl::poll() {
  const TempoState s = clock_.read();
  for (int slot : schedule_.takeDue(s, now_() + kLeadNs)) {
    releasing_ = true;
    recallPreset(dialog_.engine, dialog_.dialogOps(), slot);
    releasing_ = false;
    // As a remote recall: the controls follow also in full screen, or the next move would
    // write the old look back.
    refreshControls(dialog_.engine, dialog_.dialogOps());
  }
  reschedule();
}

void TempoControl::reschedule() {
  const std::int64_t now = now_();
  const TempoState s = clock_.read();
  const auto due = schedule_.nextDue(s, now);
  if (!due) {
    beat_.stop();
    dialog_.engine.stagedLook.cancel();
    staged_.slot = -1;
    return;
  }
  if (const auto next = schedule_.peekDue(s, *due); !next.empty()) stage(next.back(), *due);
  const std::int64_t wait = *due - kLeadNs - now;
  beat_.start(wait <= 0 ? 0 : static_cast<int>((wait + 999'999) / 1'000'000));
}

void TempoControl::stage(int slot, std::int64_t dueNs) {
  const std::int32_t* ints = dialog_.engine.presetStore + slot * kSlotInts;
  StagedLook& look = dialog_.engine.stagedLook;
  if (look.pending() && staged_.slot == slot && staged_.dueNs == dueNs &&
      std::equal(ints, ints + kSlotInts, staged_.ints.begin(), staged_.ints.end()))
    return;  // handed over already, and the slot is as it was
  if (!scratch_) scratch_ = std::make_unique<VideoEngine>();
  std::copy(ints, ints + kSlotInts, scratch_->presetStore + slot * kSlotInts);
  recallSlotFields(*scratch_, slot);
  if (!look.stage(LookFields::of(*scratch_), dueNs)) return;  // being applied: next time
  staged_ = {slot, dueNs, std::vector<std::int32_t>(ints, ints + kSlotInts)};
}

bool TempoControl::takeAction(const ControllerAction& a) {
  using K = ControllerAction::Kind;
  switch (a.kind) {
    case K::TempoBpm:
      setSource({TempoSourceKind::Fixed, a.value / 1000.0});
      return true;
    case K::TempoSource:
      if (auto choice = parseTempoChoice(a.text)) setSource(*choice);
      return true;
    case K::Tap:
      if (a.target != 0) tap();
      return true;
    case K::CycleRate:
      setCycleRate(a.value);
      return true;
    case K::Sequence:
      setSequence(a.text);
      return true;
    case K::SequenceBeats:
      setSequenceBeats(a.value);
      return true;
    case K::Quantize:
      if (auto q = quantizeFromName(a.text)) setQuantize(*q);
      return true;
    default:
      return false;
  }
}

MidiInput::ClockSink TempoControl::midiClockSink() {
  return [this](uint8_t status, uint8_t data1, uint8_t data2, int64_t ns) {
    if (!followMidi_.load(std::memory_order_relaxed)) return;
    const std::lock_guard lock(midiMutex_);
    midi_.feed(status, data1, data2, ns);
  };
}

QString TempoControl::badgeText() const {
  if (choice_.kind == TempoSourceKind::Off) return {};
  const TempoState s = clock_.read();
  if (!s.running || !(s.bpm > 0.0)) {
    return choice_.kind == TempoSourceKind::Tap
               ? QStringLiteral("TAP ...")
               : QStringLiteral("%1 ...").arg(
                     QString::fromUtf8(tempoSourceName(choice_.kind)).toUpper());
  }
  const double beat = beatAt(s, now_());
  const long long whole = static_cast<long long>(std::floor(beat));
  const int inBar = static_cast<int>(((whole % kBeatsPerBar) + kBeatsPerBar) % kBeatsPerBar) + 1;
  return QStringLiteral("%1 BPM %2/%3").arg(s.bpm, 0, 'f', 1).arg(inBar).arg(kBeatsPerBar);
}

}  // namespace vz
