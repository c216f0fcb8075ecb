// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/video_engine.h"

namespace vz {

// A usage error of the frame filter: bad option, value out of range, unreadable file.
class FxUsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct FxRun {
  int width = 0;
  int height = 0;
  std::optional<int64_t> frames;  // exactly this many frames, or every whole frame
  std::optional<int> fadeTo;      // a slot: the run fades from the look set up into it
  int fadeFrames = 0;             // over this many frames (with fadeTo only)
  bool dumpSettings = false;
  bool help = false;
};

// Applies the options to the engine in the order given (values are engine field values)
// and returns what the run itself needs. Throws FxUsageError on any problem.
FxRun applyFxOptions(const std::vector<std::string>& args, VideoEngine& engine);

// One "name value" line per setting, in the order of the dump.
std::string dumpSettings(const VideoEngine& engine);

const char* fxUsage();

}  // namespace vz
