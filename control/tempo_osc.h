// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <lo/lo_lowlevel.h>

#include <optional>
#include <string>

#include "control/osc_parser.h"

namespace vz {

// The tempo's OSC addresses; nothing for any other address:
//   /videozarnix/tempo          f|i BPM 20..300 (a fixed tempo) | s off|tap|midi|link|audio
//   /videozarnix/tap            no argument, or a number: non-zero taps (a button's release is 0)
//   /videozarnix/cycle-rate     i 1|2|4|8|16|24 colour-cycle steps a beat
//   /videozarnix/sequence       s letters A..Z (empty stops)
//   /videozarnix/sequence-beats i 1..64
//   /videozarnix/quantize       s off|beat|bar
std::optional<OscResult> tempoOscMessage(const std::string& path, const char* types, int argc,
                                         lo_arg** argv);

}  // namespace vz
