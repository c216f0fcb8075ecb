// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

#include "base/result.h"
#include "engine/frame_target.h"

namespace vz {

// What the source commands ask of the media graph; every call on the GUI thread.
class GraphControl {
 public:
  virtual ~GraphControl() = default;
  virtual void stopAndRelease() = 0;
  // Builds a new graph for the engine's sourceIsFile, then sets the target for frames.
  virtual void startSource(FrameTarget* window) = 0;
  virtual void run() = 0;
  virtual void releaseGraph() = 0;
  // Whether the file can be played, asked before a file replaces the running source where a
  // bad one must leave that source playing.
  virtual Status checkPlayable(const std::string& /*path*/) { return {}; }
};

}  // namespace vz
