// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

#include "base/result.h"
#include "control/feedback_options.h"

namespace vz {

struct ControllerOptions {
  bool midi = true;          // --midi auto|none
  int oscPort = 7770;        // --osc-port N, 0: no OSC
  std::string oscBind;       // --osc-bind ADDR, empty: every interface
  bool verbose = false;      // --verbose: ignored OSC messages, unreachable feedback targets
  FeedbackOptions feedback;  // the look sent back to OSC and MIDI controllers
};

// The options, for a command-line parser to declare: name (without "--"), value name
// (empty for a flag) and help text.
struct ControllerOptionSpec {
  const char* name;
  const char* valueName;
  const char* help;
};
extern const ControllerOptionSpec kControllerOptionSpecs[4];

// One option by name (without "--"), as a parser hands it over; fails with the reason when
// the value is wrong.
Status applyControllerOption(std::string_view name, std::string_view value,
                             ControllerOptions& options);

}  // namespace vz
