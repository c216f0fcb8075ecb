// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/feedback_bridge.h"

#include <chrono>
#include <cstdio>

#include "control/midi_input.h"
#include "control/midi_mappings.h"
#include "engine/setting_names.h"
#include "engine/shared_value.h"

namespace vz {

namespace {
// Just over the rate limit's gap, so that a control that keeps changing goes out on every tick.
constexpr int kTickMs = 17;
}  // namespace

std::int64_t FeedbackBridge::steadyNow() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

FeedbackBridge::FeedbackBridge(const VideoEngine& engine, const ControllerOptions& options,
                               const MidiMappings& mappings, Clock clock)
    : engine_(engine),
      mappings_(mappings),
      clock_(std::move(clock)),
      verbose_(options.verbose),
      sender_(std::make_unique<OscSender>(options.verbose, -1)),
      midiFeedback_(options.feedback.midi) {
  addEngineState(changes_, engine_,
                 {[this] { return lastRecalled_; }, [this] { return recording_ && recording_(); }});
  for (const std::string& t : options.feedback.oscTargets) {
    Result<OscPeer> peer = resolveOscTarget(t);
    if (peer)
      targets_.push_back(*peer);
    else
      std::fprintf(stderr, "videozarnix: no OSC feedback to %s\n", peer.message().c_str());
  }
  listenToRecalls(this);
  timer_.setTimerType(Qt::PreciseTimer);
  connect(&timer_, &QTimer::timeout, this, &FeedbackBridge::tick);
  updateTimer();
}

FeedbackBridge::~FeedbackBridge() {
  stopListeningToRecalls(this);
}

void FeedbackBridge::attach(int oscReplySocket, MidiInput* midi) {
  sender_ = std::make_unique<OscSender>(verbose_, oscReplySocket);
  midi_ = midi;
  updateTimer();
}

void FeedbackBridge::recalled(const VideoEngine& engine, int slot) {
  if (&engine != &engine_) return;
  lastRecalled_ = slot;
  changes_.recalled();
}

void FeedbackBridge::oscPacket(const OscPeer& peer, const std::vector<OscRequest>& requests) {
  subscribers_.heard(peer, clock_());
  if (requests.empty()) return;
  QMetaObject::invokeMethod(
      this, [this, peer, requests] { answer(peer, requests); }, Qt::QueuedConnection);
}

void FeedbackBridge::answer(const OscPeer& peer, const std::vector<OscRequest>& requests) {
  for (const OscRequest& r : requests) {
    switch (r.kind) {
      case OscRequest::Kind::Subscribe:
        // A new subscriber starts from the whole state; a repeated subscribe only keeps it.
        if (subscribers_.subscribe(peer, clock_()))
          sender_->send(peer, messages(changes_.everything()), true);
        break;
      case OscRequest::Kind::Unsubscribe:
        subscribers_.unsubscribe(peer);
        break;
      case OscRequest::Kind::Get:
        if (r.address.empty()) {
          sender_->send(peer, messages(changes_.everything()), true);
        } else if (const int item = changes_.find(r.address); item >= 0) {
          if (auto v = changes_.current(item))
            sender_->send(peer, messages({{item, std::move(*v)}}), true);
        } else if (verbose_) {
          std::fprintf(stderr, "videozarnix: OSC ignored: /videozarnix/get: unknown address\n");
        }
        break;
    }
  }
  updateTimer();
}

void FeedbackBridge::heardController(int channel, int controller, const ControlTarget& target) {
  const int item = changes_.find(target.name);
  if (item < 0) return;
  const std::optional<FeedbackValue> v = changes_.current(item);
  if (!v) return;
  if (const int* i = std::get_if<int>(&*v))
    midiFeedback_.heardController(channel, controller, *i);
  else if (const std::string* s = std::get_if<std::string>(&*v))
    midiFeedback_.heardController(channel, controller, findModeName(*s));
}

void FeedbackBridge::heardProgram(int channel, int slot) {
  midiFeedback_.heardProgram(channel, slot);
}

void FeedbackBridge::mappingsChanged() {
  midiFeedback_.forget();
  updateTimer();
}

std::vector<OscOut> FeedbackBridge::messages(const std::vector<StateChange>& batch) const {
  std::vector<OscOut> out;
  out.reserve(batch.size());
  for (const StateChange& c : batch) {
    out.push_back(oscFeedbackMessage(changes_, c));
    if (oscForms_) oscForms_(changes_.item(c.item), c.value, out);
  }
  return out;
}

void FeedbackBridge::tick() {
  const std::int64_t now = clock_();
  const bool recall = changes_.recallPending();
  const std::vector<StateChange> batch = changes_.poll(now);
  if (!batch.empty()) {
    const std::vector<OscOut> out = messages(batch);
    for (const OscPeer& t : targets_) sender_->send(t, out);
    for (const OscPeer& s : subscribers_.live(now)) sender_->send(s, out, true);
    if (midi_)
      for (const MidiMessage& m : midiFeedback_.follow(changes_, batch, mappings_, recall))
        midi_->send(m);
  }
  if (midi_) {
    // A controller connected, or connected again once its server came back, shows the
    // whole look at once rather than whatever changes next.
    const int destinations = midi_->connectedDestinations();
    if (destinations > midiDestinations_) {
      midiFeedback_.forget();
      for (const MidiMessage& m :
           midiFeedback_.follow(changes_, changes_.everything(), mappings_, true))
        midi_->send(m);
    }
    midiDestinations_ = destinations;
  }
  updateTimer();
}

void FeedbackBridge::updateTimer() {
  // Nobody to tell: no polling. The next listener starts from the whole state anyway.
  const bool midiListens =
      midi_ != nullptr && midiFeedback_.mode() != MidiFeedbackMode::Off &&
      (!mappings_.all().empty() || midiFeedback_.mode() == MidiFeedbackMode::All);
  const bool wanted = !targets_.empty() || !subscribers_.live(clock_()).empty() || midiListens;
  if (wanted && !timer_.isActive()) timer_.start(kTickMs);
  if (!wanted && timer_.isActive()) timer_.stop();
}

}  // namespace vz
