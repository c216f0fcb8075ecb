// SPDX-License-Identifier: GPL-3.0-or-later
#include "source/clip_loop.h"

#include <cstdio>

#include "gstref/gst_ref.h"

namespace vz {
namespace {

using Held = std::shared_ptr<ClipLoop>;

void dropHeld(gpointer data) {
  delete static_cast<Held*>(data);
}

// What a pending seek needs: the loop, and the pad to seek from, held until it has run.
struct SeekCall {
  Held loop;
  GRef<GstPad> input;
};

}  // namespace

std::shared_ptr<ClipLoop> ClipLoop::attach(GstElement* converter) {
  if (converter == nullptr) return nullptr;
  // The pads outlive the loop's use of them: they are only touched from their own probes
  // and from a seek that holds its own reference.
  const GRef<GstPad> input(gst_element_get_static_pad(converter, "sink"));
  const GRef<GstPad> output(gst_element_get_static_pad(converter, "src"));
  Held loop;
  if (input && output) {
    loop.reset(new ClipLoop(input, output));
    gst_pad_add_probe(
        input, GstPadProbeType(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM),
        &ClipLoop::onInput, new Held(loop), dropHeld);
    gst_pad_add_probe(
        output,
        GstPadProbeType(GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM | GST_PAD_PROBE_TYPE_EVENT_FLUSH),
        &ClipLoop::onOutputEvent, new Held(loop), dropHeld);
  }
  return loop;
}

GstPadProbeReturn ClipLoop::onInput(GstPad*, GstPadProbeInfo* info, gpointer data) {
  ClipLoop& self = **static_cast<Held*>(data);
  if (info->type & GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM) {
    GstEvent* event = GST_PAD_PROBE_INFO_EVENT(info);
    if (GST_EVENT_TYPE(event) != GST_EVENT_SEGMENT) return GST_PAD_PROBE_OK;
    gst_event_copy_segment(event, &self.segment_);
    if (self.replaying_.exchange(false, std::memory_order_relaxed)) {
      // The whole graph flushed, the sink too: its running time starts again from zero.
      self.offset_ = 0;
      gst_pad_set_offset(self.output_, 0);
      self.lastEnd_ = self.lastStart_ = GST_CLOCK_TIME_NONE;
      self.framesThisPass_ = 0;
      self.replayStart_ = true;
    }
    return GST_PAD_PROBE_OK;
  }
  GstBuffer* buffer = GST_PAD_PROBE_INFO_BUFFER(info);
  if (buffer == nullptr || self.segment_.format != GST_FORMAT_TIME) return GST_PAD_PROBE_OK;
  const GstClockTime raw =
      gst_segment_to_running_time(&self.segment_, GST_FORMAT_TIME, GST_BUFFER_PTS(buffer));
  if (!GST_CLOCK_TIME_IS_VALID(raw)) return GST_PAD_PROBE_OK;
  if (self.restarting_.load(std::memory_order_relaxed)) {
    // The first frame of the new pass is due one frame after the last one. Set before the
    // converter pushes it: the output resends its segment with the offset applied.
    self.offset_ = static_cast<gint64>(self.lastEnd_) - static_cast<gint64>(raw);
    gst_pad_set_offset(self.output_, self.offset_);
    self.framesThisPass_ = 0;
    self.lastStart_ = GST_CLOCK_TIME_NONE;
    self.restarting_.store(false, std::memory_order_relaxed);
    self.loops_.fetch_add(1, std::memory_order_relaxed);
  }
  if (self.replayStart_) {
    // The first frame after a replay is due one frame after the new start, as after a loop.
    // Due at once (or at the clip's own first timestamp), it passed the grabber at the
    // sink's preroll and the second one followed as soon as the pipeline played: the start
    // showed for no time at all, or froze for as long as that timestamp.
    self.replayStart_ = false;
    GstClockTime interval = GST_BUFFER_DURATION(buffer);
    if (!GST_CLOCK_TIME_IS_VALID(interval)) interval = self.interval_;
    if (!GST_CLOCK_TIME_IS_VALID(interval)) interval = 0;
    self.offset_ = static_cast<gint64>(interval) - static_cast<gint64>(raw);
    gst_pad_set_offset(self.output_, self.offset_);
  }
  const GstClockTime start = raw + self.offset_;
  if (GST_CLOCK_TIME_IS_VALID(self.lastStart_) && start > self.lastStart_)
    self.interval_ = start - self.lastStart_;
  GstClockTime length = GST_BUFFER_DURATION(buffer);
  if (!GST_CLOCK_TIME_IS_VALID(length))
    length = GST_CLOCK_TIME_IS_VALID(self.interval_) ? self.interval_ : 0;
  if (!GST_CLOCK_TIME_IS_VALID(self.lastEnd_) || start + length > self.lastEnd_)
    self.lastEnd_ = start + length;
  self.lastStart_ = start;
  self.framesThisPass_ += 1;
  return GST_PAD_PROBE_OK;
}

GstPadProbeReturn ClipLoop::onOutputEvent(GstPad*, GstPadProbeInfo* info, gpointer data) {
  const Held& loop = *static_cast<Held*>(data);
  ClipLoop& self = *loop;
  GstEvent* event = GST_PAD_PROBE_INFO_EVENT(info);
  switch (GST_EVENT_TYPE(event)) {
    case GST_EVENT_FLUSH_START:
    case GST_EVENT_FLUSH_STOP:
      // Our own seek's flush ends here: the grabber and the sink never lose their state.
      return self.restarting_.load(std::memory_order_relaxed) ? GST_PAD_PROBE_DROP
                                                              : GST_PAD_PROBE_OK;
    case GST_EVENT_EOS:
      break;
    default:
      return GST_PAD_PROBE_OK;
  }
  if (self.held_.load(std::memory_order_relaxed) || !self.alive_.load(std::memory_order_relaxed) ||
      self.segment_.format != GST_FORMAT_TIME)
    return GST_PAD_PROBE_OK;
  if (!self.enabled_.load(std::memory_order_relaxed)) {
    self.ended_.store(true, std::memory_order_relaxed);
    return GST_PAD_PROBE_OK;
  }
  if (self.restarting_.exchange(false, std::memory_order_relaxed)) {
    // The restart brought no frame: seeking again would only spin.
    self.holdLastFrame("no frame came after its start");
    return GST_PAD_PROBE_OK;
  }
  if (self.framesThisPass_ < 2) {
    // One frame again and again would only burn the CPU to show the same picture.
    self.holdLastFrame("it is shorter than two frames");
    return GST_PAD_PROBE_OK;
  }
  self.restarting_.store(true, std::memory_order_relaxed);
  self.seekLater(loop);
  return GST_PAD_PROBE_DROP;
}

void ClipLoop::setEnabled(bool on) {
  enabled_.store(on, std::memory_order_relaxed);
  if (!on || !alive_.load(std::memory_order_relaxed) ||
      !ended_.exchange(false, std::memory_order_relaxed))
    return;
  // The end reached the sink: this seek flushes the whole graph, as a seek of the pipeline.
  replaying_.store(true, std::memory_order_relaxed);
  seekLater(shared_from_this());
}

void ClipLoop::seekLater(std::shared_ptr<ClipLoop> self) {
  // Never on the streaming thread the seek stops, nor on the GUI thread, which must not wait.
  GstElement* converter = GST_PAD_PARENT(input_);
  auto* call = new SeekCall{std::move(self), refOf(input_)};
  gst_element_call_async(converter, &ClipLoop::seekToStart, call,
                         [](gpointer data) { delete static_cast<SeekCall*>(data); });
}

void ClipLoop::seekToStart(GstElement*, gpointer data) {
  auto* call = static_cast<SeekCall*>(data);
  ClipLoop& self = *call->loop;
  if (!self.alive_.load(std::memory_order_relaxed)) return;
  const GRef<GstQuery> query(gst_query_new_seeking(GST_FORMAT_TIME));
  gboolean seekable = FALSE;
  if (gst_pad_peer_query(call->input, query))
    gst_query_parse_seeking(query, nullptr, &seekable, nullptr, nullptr);
  const bool seeked =
      seekable && gst_pad_push_event(
                      call->input,
                      gst_event_new_seek(1.0, GST_FORMAT_TIME,
                                         GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE),
                                         GST_SEEK_TYPE_SET, 0, GST_SEEK_TYPE_NONE, -1));
  if (seeked || !self.alive_.load(std::memory_order_relaxed)) return;
  self.restarting_.store(false, std::memory_order_relaxed);
  self.holdLastFrame(seekable ? "the seek to its start failed" : "the file cannot seek");
}

void ClipLoop::holdLastFrame(const char* why) {
  if (held_.exchange(true, std::memory_order_relaxed)) return;
  std::fprintf(stderr, "videozarnix: the clip does not loop (%s); holding its last frame\n", why);
}

}  // namespace vz
