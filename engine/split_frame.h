// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

#include "engine/frame_settings.h"
#include "engine/frame_worker.h"

namespace vz {

// Whether processFrame shares a frame with the engine's worker: only large
// frames, where the halves outweigh the hand-over.
bool splitsFrame(const FrameSettings& s, int width, int height);

// Test and benchmark hook: Auto splits large frames only, Always every frame that has two
// rows (and columns) to share, Never none.
enum class FrameSplit { Auto, Always, Never };
void setFrameSplit(FrameSplit policy);

// Processes the frame (mode, then mirror) in two parts, here and on the worker, with the
// same bytes as one thread. False, with the frame untouched, for what is not shared.
bool processSplit(const FrameSettings& s, FrameWorker& worker, uint8_t* pixels, int width,
                  int height);

}  // namespace vz
