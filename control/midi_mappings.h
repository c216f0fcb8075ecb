// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/result.h"
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
std::string formatMapping(const MidiMapping& mapping);
std::string formatMappings(const std::vector<MidiMapping>& mappings);

// The mappings file holds lines of more than one kind (MIDI, OSC) beside comments. A kind
// rewrites only the lines it owns: `keyOf` gives the key of such a line (nothing for any
// other line). An owned line whose key is among `lines` is replaced by that line, keeping
// its own trailing comment; an owned line whose key is gone is dropped; lines left over
// are added at the end. Every other line (comments, blank lines, other kinds, damaged
// lines) stays as it was written.
struct OwnedLine {
  std::string key;
  std::string text;
};
using LineKey = std::function<std::optional<std::string>(std::string_view line)>;
std::string rewriteOwnedLines(std::string_view text, const LineKey& keyOf,
                              const std::vector<OwnedLine>& lines);
// The MIDI kind: a line that parses as a mapping, keyed by its channel and controller.
std::optional<std::string> midiLineKey(std::string_view line);
std::string rewriteMidiLines(std::string_view text, const std::vector<MidiMapping>& mappings);

// $XDG_CONFIG_HOME/videozarnix/midi-mappings, else ~/.config/videozarnix/midi-mappings;
// empty when neither is known.
std::string midiMappingsPath();
// A missing file is no mappings; damage goes to stderr, line by line, and so does a name that
// is no regular file (a pipe is never opened, so it cannot hold the caller).
std::vector<MidiMapping> loadMappingsFile(const std::string& path);
// Reads the file (missing: empty), hands its text to `rewrite` and writes what comes back as
// a new file beside the old one, renamed over it: a crash leaves one or the other, never
// half of one. A file that is there but cannot be read is left alone.
Status rewriteMappingsFile(const std::string& path,
                           const std::function<std::string(std::string_view text)>& rewrite);
// The MIDI lines of the file brought to `mappings`; everything else in it kept.
Status saveMappingsFile(const std::string& path, const std::vector<MidiMapping>& mappings);

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
