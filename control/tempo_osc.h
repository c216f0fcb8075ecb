// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>

#include "base/result.h"
#include "control/controller_actions.h"
#include "control/osc_arguments.h"

namespace vz {

// The tempo's OSC addresses; nothing for any other address:
//   /videozarnix/tempo          f|i BPM 20..300 (a fixed tempo) | s off|tap|midi|link|audio
//   /videozarnix/tap            no argument, T|F, or a number: non-zero taps (a button's release is
//   0) /videozarnix/cycle-rate     i 1|2|4|8|16|24 colour-cycle steps a beat /videozarnix/sequence
//   s letters A..Z (empty stops) /videozarnix/sequence-beats i 1..64 /videozarnix/quantize       s
//   off|beat|bar
std::optional<Result<ControllerAction>> tempoOscRequest(const std::string& address,
                                                        const OscArguments& args);

}  // namespace vz
