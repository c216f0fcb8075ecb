// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <gst/gst.h>

#include <functional>

#include "engine/engine_callback.h"

namespace vz {

// An in-place video filter of our own that hands every 24-bit B,G,R frame to a
// SampleGrabberCallback on the streaming thread and passes the buffer on downstream.
// The callback sees packed rows, bottom row first; width and height come from the caps of
// the buffer in hand.

// Registers the element type in-process (once; safe to call again).
void registerSampleGrabber();

// A new grabber element, floating like any freshly made element.
GstElement* makeSampleGrabber();

// GUI thread, before the graph runs: who receives the frames (null: nobody). Method 0
// selects SampleCB; BufferCB is never called.
void sampleGrabberSetCallback(GstElement* grabber, SampleGrabberCallback* callback, int method);

// GUI thread: no callback starts after this returns, and one in progress has finished.
void sampleGrabberCloseGate(GstElement* grabber);

// Any thread: runs present (which hands a stand-in picture to the frame's receiver) unless
// delivery is closed or a frame is being delivered right now; true when it ran. The
// streaming thread skips a frame that arrives meanwhile rather than wait.
bool sampleGrabberPresentInstead(GstElement* grabber, const std::function<void()>& present);

// The size of the last negotiated frame (0 x 0 before any).
struct GrabberSize {
  int width = 0;
  int height = 0;
};
GrabberSize sampleGrabberConnectedSize(GstElement* grabber);

// The frame rate of the last negotiated caps ({0, 1} before any, or for a variable rate).
struct GrabberRate {
  int numerator = 0;
  int denominator = 1;
};
GrabberRate sampleGrabberFrameRate(GstElement* grabber);

}  // namespace vz
