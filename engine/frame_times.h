// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

namespace vz {

// An opt-in trace for the live benchmarks: with VZ_FRAME_TIMES naming a file, every frame
// a window paints adds a line "<paint end> <age> <window>", times in microseconds, its age
// counted from the start of its grabber callback. Off (the default), it costs a test of one
// constant.
extern const bool kFrameTimesOn;

void markFrameCallbackStartNow();

// Streaming thread, at the start of a frame's callback: remembered for this thread.
inline void markFrameCallbackStart() {
  if (kFrameTimesOn) markFrameCallbackStartNow();
}
// The mark of the frame this thread is handling now.
int64_t frameCallbackStart();
// GUI thread, when a frame's paint has ended; window: one word naming what painted it.
void reportFramePainted(int64_t callbackStart, const char* window = "preview");

}  // namespace vz
