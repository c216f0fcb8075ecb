// SPDX-License-Identifier: GPL-3.0-or-later
#include "control/midi_output.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "engine/setting_names.h"

namespace vz {

Result<MidiFeedbackMode> parseMidiFeedbackMode(std::string_view text) {
  if (text == "off") return MidiFeedbackMode::Off;
  if (text == "cc") return MidiFeedbackMode::Cc;
  if (text == "all") return MidiFeedbackMode::All;
  return Status::failure("--midi-feedback: expected off, cc or all, got '" + std::string(text) +
                         "'");
}

int controllerValueFor(const MidiMapping& m, int engineValue) {
  int v = 0;
  switch (m.target->kind) {
    case ControlTarget::Kind::Switch:
    case ControlTarget::Kind::Tap:  // no state of its own: shown as a switch would be
      v = engineValue != 0 ? 127 : 0;
      break;
    case ControlTarget::Kind::Mode:
      // The lowest controller value that selects the mode (value * 7 / 128).
      v = std::min(127, (engineValue * 128 + 6) / 7);
      break;
    case ControlTarget::Kind::Slider:
      if (m.high == m.low) {
        v = 0;
      } else {
        const double at = double(engineValue - m.low) * 127.0 / double(m.high - m.low);
        v = static_cast<int>(std::lround(std::clamp(at, 0.0, 127.0)));
      }
      break;
  }
  return m.invert ? 127 - v : v;
}

void MidiFeedback::heardController(int channel, int controller, int engineValue) {
  shown_[channel * 128 + controller] = engineValue;
}

void MidiFeedback::heardProgram(int channel, int slot) {
  heardSlot_ = slot;
  programChannel_ = channel;
}

namespace {

std::optional<int> engineInt(const FeedbackValue& v) {
  if (const int* i = std::get_if<int>(&v)) return *i;
  if (const std::string* s = std::get_if<std::string>(&v)) {
    const int mode = findModeName(*s);
    if (mode >= 0) return mode;
  }
  return std::nullopt;
}

}  // namespace

std::vector<MidiMessage> MidiFeedback::follow(const LookChanges& changes,
                                              const std::vector<StateChange>& batch,
                                              const MidiMappings& mappings, bool recall) {
  std::vector<MidiMessage> out;
  if (mode_ == MidiFeedbackMode::Off) return out;
  std::optional<int> slot;
  for (const StateChange& c : batch) {
    const StateItem& item = changes.item(c.item);
    if (item.name == "preset")
      if (const std::string* s = std::get_if<std::string>(&c.value)) slot = (*s)[0] - 'A';
    if (item.target == nullptr) continue;
    const std::optional<int> value = engineInt(c.value);
    if (!value) continue;
    for (const MidiMapping& m : mappings.all()) {
      if (m.target != item.target) continue;
      const int key = m.channel * 128 + m.controller;
      const auto shown = shown_.find(key);
      if (!recall && shown != shown_.end() && shown->second == *value) continue;
      shown_[key] = *value;
      out.push_back({static_cast<uint8_t>(kMidiControlChange | m.channel),
                     static_cast<uint8_t>(m.controller),
                     static_cast<uint8_t>(controllerValueFor(m, *value))});
    }
  }
  if (recall && slot && mode_ == MidiFeedbackMode::All) {
    if (heardSlot_ != slot)
      out.push_back({static_cast<uint8_t>(kMidiProgramChange | programChannel_),
                     static_cast<uint8_t>(*slot), 0});
  }
  if (recall) heardSlot_.reset();
  return out;
}

}  // namespace vz
