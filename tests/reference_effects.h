// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <vector>

#include "engine/video_engine.h"

namespace vz::test {

// A deliberately plain, step-by-step rendering of every mode, written from the rules and
// reading the engine's fields where each is used: the yardstick for the fast kernels.
void referenceProcessFrame(const VideoEngine& e, uint8_t* pixels, int width, int height);
void referenceLowPass(uint8_t* pixels, int width, int height, int channel, int divisor);

}  // namespace vz::test
