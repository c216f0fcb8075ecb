// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

namespace vz {

// Where processed frames go: the preview, or a recorder in tests. Called on the streaming
// thread; an implementation must take the frame without ever waiting for another thread.
// Rows arrive bottom row first, as the grabber delivers them.
class FrameTarget {
 public:
  virtual ~FrameTarget() = default;
  virtual void receiveFrame(const uint8_t* pixels, int width, int height) = 0;
};

}  // namespace vz
