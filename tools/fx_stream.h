// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <iosfwd>

#include "engine/video_engine.h"
#include "tools/fx_options.h"

namespace vz {

// Reads raw top-down frames, hands each to the engine bottom row first (as the live program
// sees them), runs the colour-cycle step, and writes the frame back top row first.
// Returns the exit status: 0 done, 1 short input, a read error, too little memory for a
// frame or a failed write (reported on err).
int filterFrames(const FxRun& run, VideoEngine& engine, std::istream& in, std::ostream& out,
                 std::ostream& err);

}  // namespace vz
