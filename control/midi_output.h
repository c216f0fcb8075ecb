// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <map>
#include <optional>
#include <string_view>
#include <vector>

#include "base/result.h"
#include "control/look_changes.h"
#include "control/midi_mappings.h"
#include "control/midi_parser.h"

namespace vz {

// --midi-feedback: nothing, the mapped controllers, or those and a Program Change per recall.
enum class MidiFeedbackMode { Off, Cc, All };
Result<MidiFeedbackMode> parseMidiFeedbackMode(std::string_view text);

// The controller value (0..127) at which `mapping` gives `engineValue` (for the mode: the
// mode's number), the inverse of mappedAction: scaled into the mapping's range, turned round
// where it is inverted.
int controllerValueFor(const MidiMapping& mapping, int engineValue);

// Which MIDI messages follow a change of the look, so that LED rings and motorised faders
// show it. A controller is sent a value only when it does not show it already: the one
// that made a change is never sent it back. GUI thread only.
class MidiFeedback {
 public:
  explicit MidiFeedback(MidiFeedbackMode mode) : mode_(mode) {}
  MidiFeedbackMode mode() const { return mode_; }

  // A controller moved and its mapping was carried out: the control now holds
  // `engineValue`, which that controller shows already.
  void heardController(int channel, int controller, int engineValue);
  // A Program Change recalled `slot`: that recall's Program Change is not sent back.
  void heardProgram(int channel, int slot);

  // The messages for one batch of changes. On a recall every mapped controller is sent its
  // value, and with All the recalled slot goes out as a Program Change.
  std::vector<MidiMessage> follow(const LookChanges& changes, const std::vector<StateChange>& batch,
                                  const MidiMappings& mappings, bool recall);

  // Mappings changed (learned, cleared): what the controllers show is known no more.
  void forget() { shown_.clear(); }

 private:
  MidiFeedbackMode mode_;
  std::map<int, int> shown_;  // channel * 128 + controller -> engine value it shows
  std::optional<int> heardSlot_;
  int programChannel_ = 0;
};

}  // namespace vz
