// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "control/control_targets.h"

namespace vz {

// How a learned address sent its values: float 0..1 over the control's range, or int engine
// values. Feedback goes back in the same form.
enum class OscForm { Float, Int };

// An address of someone else's (a tablet's "/1/fader1") bound to one of our controls.
struct OscMapping {
  std::string address;
  const ControlTarget* target = nullptr;
  OscForm form = OscForm::Float;
  bool operator==(const OscMapping&) const = default;
};

// What a learned address is sent back when its control shows `engineValue` (the mode: its
// number 0..9), in the form the address came: the engine value itself, or float 0..1 over the
// control's range (a switch 0 or 1).
std::variant<int, float> oscLearnedValue(const OscMapping& mapping, int engineValue);

// An address that can be learned: plain printable ASCII without spaces, pattern characters
// or '#' (which starts a comment in the file), and none of our own /videozarnix/ ones.
bool isLearnableOscAddress(std::string_view address);

// The learned addresses, read by the OSC thread as the GUI thread learns and clears them.
class OscMappings {
 public:
  std::optional<OscMapping> find(std::string_view address) const;
  // Those an incoming address pattern names.
  std::vector<OscMapping> matching(std::string_view pattern) const;
  std::vector<OscMapping> all() const;
  // Replaces any mapping of the same address.
  void set(const OscMapping& mapping);
  void clear();

 private:
  mutable std::mutex mutex_;
  std::vector<OscMapping> all_;
};

// They share the MIDI mappings file, one a line: "ADDRESS CONTROL float|int" (the address
// starts with '/', which tells them from the MIDI lines). Other lines are passed over; a
// damaged OSC line is described in `problems` and skipped.
std::vector<OscMapping> parseOscMappings(std::string_view text, std::vector<std::string>* problems);
std::string formatOscMapping(const OscMapping& mapping);  // one line, without its '\n'
std::string formatOscMappings(const std::vector<OscMapping>& mappings);
// The address of a line that holds an OSC mapping (its key when the file is rewritten).
std::optional<std::string> oscLineKey(std::string_view line);
// The OSC lines of the mappings file at `path`; damage goes to stderr line by line. A file
// that cannot be read says nothing here: the MIDI side reports it.
std::vector<OscMapping> loadOscMappingsFile(const std::string& path);

}  // namespace vz
