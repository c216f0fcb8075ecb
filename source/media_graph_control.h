// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "source/graph_control.h"
#include "source/media_graph.h"
#include "source/media_probe.h"

namespace vz {

// The media graph as the source commands drive it.
class MediaGraphControl final : public GraphControl {
 public:
  MediaGraphControl(VideoEngine& engine, MessageBoxes& boxes, DeviceList& devices)
      : graph_(engine, boxes, devices) {}

  void stopAndRelease() override { graph_.stopAndRelease(); }
  void startSource(FrameTarget* window) override { graph_.startSource(window); }
  void run() override { graph_.run(); }
  void releaseGraph() override { graph_.releaseGraph(); }
  Status checkPlayable(const std::string& path) override { return probePlayable(path); }
  MediaGraph& graph() { return graph_; }

 private:
  MediaGraph graph_;
};

}  // namespace vz
