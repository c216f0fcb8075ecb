// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <gst/gst.h>

#include <atomic>
#include <functional>
#include <string>

#include "base/result.h"
#include "output/output_stage.h"

namespace vz {

// The virtual camera as a PipeWire node of our own (a stream that drives its graph). It offers
// what video-call apps and browsers ask a camera for: I420, NV12 and YUY2; the outputs' size,
// 1920x1080, 1280x720, 640x480 and 320x240; the outputs' rate, 30 and 15 fps. Each frame is
// converted to what the reader negotiated, scaled with the aspect kept and black bars.
// Readers one after another each get their own format; readers at the same time share the
// first one's (one port has one format).
//
// When the daemon goes away the node says so once and comes back by itself, under the same
// name, when a daemon answers again.
class PipeWireCamera {
 public:
  // Offered: the node exists (again); Lost: the daemon went away. Called on PipeWire's thread.
  enum class State { Offered, Lost };
  using StateHandler = std::function<void(State)>;

  explicit PipeWireCamera(StateHandler onState);
  ~PipeWireCamera();
  PipeWireCamera(const PipeWireCamera&) = delete;
  PipeWireCamera& operator=(const PipeWireCamera&) = delete;

  // Offers the node with the outputs' size and rate first.
  Status start(const OutputFormat& outputs);
  // The branch's streaming thread: one BGR frame of the outputs' size (its buffer's timestamps
  // decide which frames a reader at a lower rate gets).
  void deliver(GstSample* sample);

  bool offered() const { return offered_.load(std::memory_order_relaxed); }

  struct Impl;

 private:
  Impl* impl_;
  std::atomic<bool> offered_{false};
};

}  // namespace vz
