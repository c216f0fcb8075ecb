// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

#include "engine/frame_settings.h"

namespace vz {

// True when every row of a frame comes out of the look depending on that row alone: then
// the frame may be processed top row first, or one row at a time, with the same bytes as
// bottom row first. False for the low-pass filter (its column pass runs down the frame)
// and Smear (its walk runs on across row ends).
bool isRowLocal(const FrameSettings& s);

// Bottom-up packed copy of a frame whose rows are stride bytes apart (top row first):
// what the engine wants, in one pass. dst holds rowBytes * height bytes.
void packRowsBottomUp(const uint8_t* src, int stride, uint8_t* dst, int rowBytes, int height);
// The way back: a packed frame stored bottom row first into rows stride bytes apart, top
// row first; the filler bytes between rows stay as they were.
void unpackRowsBottomUp(const uint8_t* bottomUp, int rowBytes, uint8_t* dst, int stride,
                        int height);
// Reverses the row order of a packed frame in place.
void flipRowsInPlace(uint8_t* pixels, int rowBytes, int height);

}  // namespace vz
