// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <vector>

#include "engine/cpu_dispatch.h"
#include "engine/split_frame.h"
#include "engine/video_engine.h"

namespace vz::test {

// A deliberately plain, step-by-step rendering of every mode, written from the rules and
// reading the engine's fields where each is used: the yardstick for the fast kernels.
void referenceProcessFrame(const VideoEngine& e, uint8_t* pixels, int width, int height);
void referenceLowPass(uint8_t* pixels, int width, int height, int channel, int divisor);

struct Size {
  int w, h;
};

// The kernels as a test wants them while it lives: the portable code forced or not, frames
// shared with the worker or not; as they were after.
class KernelScope {
 public:
  explicit KernelScope(bool portable, FrameSplit split = FrameSplit::Auto) {
    forcePortableKernels(portable);
    setFrameSplit(split);
  }
  ~KernelScope() {
    forcePortableKernels(false);
    setFrameSplit(FrameSplit::Auto);
  }
  KernelScope(const KernelScope&) = delete;
  KernelScope& operator=(const KernelScope&) = delete;
};

}  // namespace vz::test
