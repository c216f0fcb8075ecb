// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/look_fade.h"
#include "engine/video_engine.h"

namespace vz {

// One frame of a pipeline: width x height packed BGR pixels, top row first, rows `stride`
// bytes apart (GStreamer pads 24-bit rows to 4 bytes). The look sees it bottom row first,
// exactly as the frame filter hands it over, so a look renders as it does live; then the
// colour cycling takes its step. One settings snapshot serves the whole frame.
// Looks whose rows come out independently skip the reordering; padded rows of the others
// are repacked through `work`.
void processTopDownFrame(VideoEngine& engine, uint8_t* top, int width, int height,
                         std::ptrdiff_t stride, std::vector<uint8_t>& work);

// The same with a fade that may be running: both looks on the frame bottom row first, then
// both animation steps.
void processTopDownFrame(VideoEngine& engine, LookFade& fade, uint8_t* top, int width, int height,
                         std::ptrdiff_t stride, std::vector<uint8_t>& work);

// True when the look changes nothing, so a frame may pass untouched (colour cycling has no
// step to take either in such a look).
bool leavesFramesAlone(const VideoEngine& engine);

}  // namespace vz
