// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

namespace vz {

// The outputs' tap on the processed frames: called on the streaming thread after the
// mode, the mirror and the preview, with the very frame the preview shows (packed 3-byte
// pixels, bottom row first). An implementation takes at most one copy of it and never
// waits for another thread.
class FrameSink {
 public:
  virtual ~FrameSink() = default;
  virtual void takeFrame(const uint8_t* pixels, int width, int height) = 0;
  // GUI thread: the source stopped delivering for good (its graph was released), as
  // opposed to a clip held at its end.
  virtual void sourceStopped() {}
};

}  // namespace vz
