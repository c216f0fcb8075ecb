// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <gst/gst.h>

#include <atomic>
#include <functional>

namespace vz {

// Watches one running graph's bus messages, on whichever thread posts them, and acts on
// them without ever making that thread wait: an error calls onError (the picture turns
// black rather than freezing on whatever was shown last).
class GraphWatch {
 public:
  explicit GraphWatch(std::function<void()> onError) : onError_(std::move(onError)) {}
  ~GraphWatch() { stop(); }
  GraphWatch(const GraphWatch&) = delete;
  GraphWatch& operator=(const GraphWatch&) = delete;

  void onMessage(GstMessage* message);
  // After it returns no hook runs; one in progress has finished.
  void stop();

 private:
  bool enter();
  void leave();

  std::function<void()> onError_;
  std::atomic<unsigned> gate_{0};  // bit 0: stopped; the rest counts hooks in progress
};

}  // namespace vz
