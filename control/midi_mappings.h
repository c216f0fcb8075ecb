// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "control/control_targets.h"
#include "control/controller_actions.h"

namespace vz {

// One controller bound to one control. A slider gets low..high (engine values, either
// order) spread over the controller's 0..127; a switch is on from 64; the mode takes
// value * 7 / 128 as its radio. `invert` turns the controller round first.
struct MidiMapping {
  int channel = 0;     // 0..15
  int controller = 0;  // 0..127
  const ControlTarget* target = nullptr;
  int low = 0, high = 0;
  bool invert = false;
  bool operator==(const MidiMapping&) const = default;
};

MidiMapping fullRangeMapping(int channel, int controller, const ControlTarget& target);
ControllerAction mappedAction(const MidiMapping& mapping, int value);

class MidiMappings {
 public:
  // The request a controller change makes, if the controller is mapped.
  std::optional<ControllerAction> map(int channel, int controller, int value) const;
  // Replaces any mapping of the same controller.
  void set(const MidiMapping& mapping);
  void clear() { all_.clear(); }
  const std::vector<MidiMapping>& all() const { return all_; }

 private:
  std::vector<MidiMapping> all_;
};

// The file: one mapping a line, "CHANNEL CONTROLLER CONTROL [LOW HIGH] [invert]", channel
// 1..16; '#' starts a comment. A damaged line is described in `problems` and skipped; lines
// that start with '/' are OSC mappings (control/osc_mappings.h) and passed over.
std::vector<MidiMapping> parseMappings(std::string_view text, std::vector<std::string>* problems);
std::string formatMappings(const std::vector<MidiMapping>& mappings);

// $XDG_CONFIG_HOME/videozarnix/midi-mappings, else ~/.config/videozarnix/midi-mappings;
// empty when neither is known.
std::string midiMappingsPath();
// A missing file is no mappings; damage goes to stderr, line by line, and so does a name that
// is no regular file (a pipe is never opened, so it cannot hold the caller).
std::vector<MidiMapping> loadMappingsFile(const std::string& path);
// Writes a new file beside the old one and renames it over: a crash leaves one or the
// other, never half of one. `oscLines` (formatOscMappings) follow the MIDI ones. False with a
// reason in `error`.
bool saveMappingsFile(const std::string& path, const std::vector<MidiMapping>& mappings,
                      std::string* error, std::string_view oscLines = {});

// MIDI learn: once armed, the next control the user moves and the next controller that
// changes are bound together, in whichever order they come.
class MidiLearn {
 public:
  void arm();
  void cancel() { armed_ = false; }
  bool armed() const { return armed_; }
  std::optional<MidiMapping> controlMoved(const ControlTarget& target);
  std::optional<MidiMapping> controllerChanged(int channel, int controller);

 private:
  std::optional<MidiMapping> completeIfReady();

  bool armed_ = false;
  const ControlTarget* target_ = nullptr;
  int channel_ = -1, controller_ = -1;
};

}  // namespace vz
