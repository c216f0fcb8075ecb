// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "base/result.h"
#include "control/controller_actions.h"
#include "control/osc_arguments.h"
#include "control/osc_mappings.h"
#include "control/osc_requests.h"
#include "control/osc_time.h"

namespace vz {

// A message at an address nobody has bound, with one number or T/F: what OSC learn binds.
struct OscUnknown {
  std::string address;
  OscForm form = OscForm::Float;
  OscArgument value;
};

// What one message asks of one address, and when.
struct OscOutcome {
  Result<ControllerAction> action;    // or why it is ignored, naming the address
  OscTimeTag time = kOscImmediately;  // the time tag of the innermost bundle around it
  std::optional<OscUnknown> unknown;  // set for an address that OSC learn may take
  std::optional<OscRequest> request;  // subscribe, unsubscribe, get: not a change of the look
};

// A UDP packet (one message or a bundle of them, nested a few deep) to requests:
//   /videozarnix/preset     s letter (either case) | i 0..25
//   /videozarnix/mode       s name as the frame filter names them | i 0..9 | f 0..1
//   /videozarnix/<control>  sliders: i engine value | f 0..1 (lowest..highest)
//   /videozarnix/<switch>, /videozarnix/fullscreen, /videozarnix/record
//                           i 0|1 | T|F | f 0..1 (on from 0.5)
//   /videozarnix/fade       f|i seconds 0..60 the recalls fade over (0: they cut)
// and each address learned in `learned` as its control takes them. Incoming addresses may be
// patterns (* ? [..] {..}): one outcome for each address they match. Malformed packets,
// unknown addresses and wrong arguments give refusals, never requests.
std::vector<OscOutcome> parseOscPacket(const void* data, size_t size,
                                       const OscMappings* learned = nullptr);

}  // namespace vz
