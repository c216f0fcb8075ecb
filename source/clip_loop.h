// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <gst/gst.h>

#include <atomic>
#include <memory>

namespace vz {

// Plays a clip again from its start when it ends, without anything after the decoding
// chain noticing: the end is caught on the converter at the chain's end and never passes
// it, a flushing seek to the start runs upstream of it (its flush stops there too), and the
// restarted frames are shifted in running time so that the first one is due one frame after
// the last one. The sink keeps its state and the pipeline its clock, so the last frame
// stays until the first new one replaces it.
class ClipLoop : public std::enable_shared_from_this<ClipLoop> {
 public:
  // converter: the last element of the decoding chain. Its pads' probes and a pending
  // seek keep the loop alive; the loop keeps no reference to them.
  static std::shared_ptr<ClipLoop> attach(GstElement* converter);
  ClipLoop(const ClipLoop&) = delete;
  ClipLoop& operator=(const ClipLoop&) = delete;

  // GUI thread: whether the next end loops (false: the last frame is held). A clip held at
  // its end because looping was off plays again from its start.
  void setEnabled(bool on);
  // GUI thread, when the graph goes: no seek starts after it.
  void detach() { alive_.store(false, std::memory_order_relaxed); }
  // Times the clip has restarted.
  int loops() const { return loops_.load(std::memory_order_relaxed); }

 private:
  ClipLoop(GstPad* input, GstPad* output) : input_(input), output_(output) {}
  static GstPadProbeReturn onOutputEvent(GstPad*, GstPadProbeInfo* info, gpointer data);
  static GstPadProbeReturn onInput(GstPad*, GstPadProbeInfo* info, gpointer data);
  static void seekToStart(GstElement* converter, gpointer data);
  void seekLater(std::shared_ptr<ClipLoop> self);
  void holdLastFrame(const char* why);

  GstPad* input_;   // the converter's sink pad: raw timestamps and segments
  GstPad* output_;  // the converter's source pad: the end, the flushes, the offset
  std::atomic<bool> enabled_{true};
  std::atomic<bool> alive_{true};
  std::atomic<bool> restarting_{false};  // from the caught end to the first new frame
  std::atomic<int> loops_{0};
  std::atomic<bool> held_{false};       // the clip cannot loop: its end passes
  std::atomic<bool> ended_{false};      // its end passed while looping was off
  std::atomic<bool> replaying_{false};  // a restart after the end: running time starts afresh
  // Streaming thread only (the seek thread touches none of these).
  GstSegment segment_{};
  gint64 offset_ = 0;                           // added to the running time of the current pass
  GstClockTime lastEnd_ = GST_CLOCK_TIME_NONE;  // running time (with offset) after the last frame
  GstClockTime lastStart_ = GST_CLOCK_TIME_NONE;
  GstClockTime interval_ = GST_CLOCK_TIME_NONE;  // between the last two frames
  int framesThisPass_ = 0;
  bool replayStart_ = false;  // the next frame is the first after a replay
};

}  // namespace vz
