// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/result.h"
#include "control/control_targets.h"
#include "control/controller_actions.h"

namespace vz {

// One argument of a message, copied out of the packet. `type` is the OSC type tag: i and h
// carry `whole`, f and d `fraction`, s and S `text`; T and F are `whole` 1 and 0; anything
// else carries nothing we take.
struct OscArgument {
  char type = 0;
  std::int64_t whole = 0;
  double fraction = 0.0;
  std::string text;
};
using OscArguments = std::vector<OscArgument>;

// The one way every address reads its arguments: exactly one, and
//   a switch    i 0|1, T|F, or f 0..1 (on from 0.5)
//   a slider    i engine value within the filter's range, or f 0..1 (lowest..highest value)
//   the mode    s name, i 0..9, or f 0..1
//   a preset    s letter (either case), or i 0..25
// Anything else is refused with the reason.
Result<ControllerAction> oscControlRequest(const ControlTarget& target, const OscArguments& args);
Result<ControllerAction> oscSwitchRequest(ControllerAction::Kind kind, int id,
                                          const OscArguments& args);
Result<ControllerAction> oscPresetRequest(const OscArguments& args);
// The recalls' fade: f or i seconds 0..60, as milliseconds.
Result<ControllerAction> oscFadeRequest(const OscArguments& args);

}  // namespace vz
