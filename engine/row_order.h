#pragma once

#include "engine/frame_settings.h"

namespace vz {

// True when every row of a frame comes out of the look depending on that row alone: then
// the frame may be processed top row first, or one row at a time, with the same bytes as
// bottom row first. False for the low-pass filter (its column pass runs down the frame)
// and Smear (its walk runs on across row ends).
bool isRowLocal(const FrameSettings& s);

}  // namespace vz
