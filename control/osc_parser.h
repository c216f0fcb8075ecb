// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "control/controller_actions.h"
#include "control/osc_requests.h"

namespace vz {

// What one OSC message asks for, or why it is ignored.
struct OscResult {
  std::optional<ControllerAction> action;
  std::string problem;                // set when there is no action
  std::optional<OscRequest> request;  // subscribe, unsubscribe, get: not a change of the look
};

// A UDP packet (one message or a bundle of them, nested a few deep) to requests:
//   /videozarnix/preset     s letter (either case) | i 0..25
//   /videozarnix/mode       s name | i 0..9, as the frame filter names and numbers them
//   /videozarnix/<control>  i engine value | f 0..1 (lowest..highest); switches: non-zero on
//   /videozarnix/fullscreen i|f 0 or 1
//   /videozarnix/record     i|f 0 or 1
// Malformed packets, unknown addresses and wrong arguments give problems, never actions.
std::vector<OscResult> parseOscPacket(const void* data, size_t size);

}  // namespace vz
