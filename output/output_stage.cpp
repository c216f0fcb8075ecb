// SPDX-License-Identifier: GPL-3.0-or-later
#include "output/output_stage.h"

#include <emmintrin.h>
#include <gst/app/gstappsrc.h>
#include <gst/video/video.h>
#include <time.h>

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <vector>

#include "output/frame_pacer.h"

namespace vz {

struct OutputStage::Branch {
  std::string id;
  std::string label;
  GRef<GstElement> bin;
  GRef<GstElement> queue;
  GRef<GstPad> binSink;
  GRef<GstPad> teePad;
  std::atomic<bool> failed{false};
  std::atomic<bool> starting{true};
  std::chrono::steady_clock::time_point started = std::chrono::steady_clock::now();
  // Its door, on the trunk's thread: frames wait outside until the first one taken after the
  // branch was added (or black when no source delivers, or the held picture after a while).
  const std::atomic<bool>* sourceGone = nullptr;
  uint64_t admitAfter = 0;
  int admitWait = 30;  // frames outside before the held picture will do
  int waited = 0;
  bool admitted = false;
  uint64_t doorLast = GST_BUFFER_OFFSET_NONE;
  uint64_t doorLastTaken = 0;
  std::atomic<uint64_t> enteredPictures{0};
  std::atomic<uint64_t> skipped{0};  // numbers the trunk never delivered: dropped before the tee
  // Its queue's exit, on the branch's thread.
  uint64_t passLast = GST_BUFFER_OFFSET_NONE;
  std::atomic<uint64_t> passed{0};
  std::atomic<uint64_t> passedPictures{0};
  std::atomic<uint64_t> repeated{0};
  // Where its frames take their own grid times, on the branch's thread.
  int rateN = 30, rateD = 1;
  uint64_t stamped = 0;
  std::mutex mutex;  // guards what follows
  std::condition_variable changed;
  bool eosAtSink = false;
  bool unlinked = false;
  std::string error;
};

namespace {

constexpr int kQueueFrames = 6;  // how far a consumer may fall behind before frames drop

std::string errorText(GstMessage* message) {
  GRef<GError> err;
  GRef<gchar> debug;
  gst_message_parse_error(message, err.out(), debug.out());
  std::string text = err ? err->message : "unknown error";
  // The file sink states the system's reason (permission, full disk) only in the details.
  if (debug) {
    if (const char* reason = std::strstr(debug, "system error: "))
      text += std::string(" (") + (reason + 14) + ")";
  }
  return text;
}

// Slot n of a grid at rateN/rateD frames per second, exactly (no rounded period summed up).
GstClockTime gridTime(uint64_t n, int rateN, int rateD) {
  return gst_util_uint64_scale(n, GST_SECOND * static_cast<uint64_t>(rateD),
                               static_cast<uint64_t>(rateN));
}

int64_t monotonicNow() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

// A frame's number travels in its offset: 1 on for the source's frames, 0 for black.
GstPadProbeReturn enterBranch(GstPad*, GstPadProbeInfo* info, gpointer data) {
  auto* b = static_cast<OutputStage::Branch*>(data);
  // A failed branch swallows its frames here, so its error never reaches the tee.
  if (b->failed.load(std::memory_order_relaxed)) return GST_PAD_PROBE_DROP;
  const uint64_t frame = GST_BUFFER_OFFSET(GST_PAD_PROBE_INFO_BUFFER(info));
  if (!b->admitted) {
    // A recording starts on the look as it is now, never on a stale or black frame while a
    // source delivers; and it starts at once when there is none.
    const bool fresh = frame != 0 && frame != GST_BUFFER_OFFSET_NONE && frame > b->admitAfter;
    const bool noSource = frame == 0 && b->sourceGone->load(std::memory_order_relaxed);
    if (!fresh && !noSource && ++b->waited < b->admitWait) return GST_PAD_PROBE_DROP;
    b->admitted = true;
  }
  if (frame != b->doorLast) b->enteredPictures.fetch_add(1, std::memory_order_relaxed);
  b->doorLast = frame;
  if (frame != 0 && frame != GST_BUFFER_OFFSET_NONE) {
    if (b->doorLastTaken != 0 && frame > b->doorLastTaken + 1)
      b->skipped.fetch_add(frame - b->doorLastTaken - 1, std::memory_order_relaxed);
    b->doorLastTaken = std::max(b->doorLastTaken, frame);
  }
  return GST_PAD_PROBE_OK;
}

// A serialized query waits in the queue until the consumer has taken everything before it:
// with a consumer that blocks, the trunk would wait too. Each branch answers the
// allocation query at its door (nothing asked: upstream uses its own buffers).
GstPadProbeReturn answerAllocation(GstPad*, GstPadProbeInfo* info, gpointer) {
  return GST_QUERY_TYPE(GST_PAD_PROBE_INFO_QUERY(info)) == GST_QUERY_ALLOCATION
             ? GST_PAD_PROBE_HANDLED
             : GST_PAD_PROBE_OK;
}

GstPadProbeReturn leaveQueue(GstPad*, GstPadProbeInfo* info, gpointer data) {
  auto* b = static_cast<OutputStage::Branch*>(data);
  const uint64_t frame = GST_BUFFER_OFFSET(GST_PAD_PROBE_INFO_BUFFER(info));
  if (frame == b->passLast)
    b->repeated.fetch_add(1, std::memory_order_relaxed);
  else
    b->passedPictures.fetch_add(1, std::memory_order_relaxed);
  b->passLast = frame;
  b->passed.fetch_add(1, std::memory_order_relaxed);
  return GST_PAD_PROBE_OK;
}

// The branch's own grid: its k-th frame at k periods, whatever the stage's slot number and
// whatever its queue dropped, so that its consumer sees a constant rate from zero. Set
// after the branch's converter where it has one, whose frames are the branch's own.
GstPadProbeReturn stampFrame(GstPad*, GstPadProbeInfo* info, gpointer data) {
  auto* b = static_cast<OutputStage::Branch*>(data);
  GstBuffer* buffer = gst_buffer_make_writable(GST_PAD_PROBE_INFO_BUFFER(info));
  GST_PAD_PROBE_INFO_DATA(info) = buffer;
  GST_BUFFER_PTS(buffer) = gridTime(b->stamped, b->rateN, b->rateD);
  GST_BUFFER_DTS(buffer) = GST_CLOCK_TIME_NONE;
  GST_BUFFER_DURATION(buffer) =
      gridTime(b->stamped + 1, b->rateN, b->rateD) - GST_BUFFER_PTS(buffer);
  ++b->stamped;
  return GST_PAD_PROBE_OK;
}

GstPadProbeReturn watchEos(GstPad*, GstPadProbeInfo* info, gpointer data) {
  if (GST_EVENT_TYPE(GST_PAD_PROBE_INFO_EVENT(info)) == GST_EVENT_EOS) {
    auto* b = static_cast<OutputStage::Branch*>(data);
    std::lock_guard lock(b->mutex);
    b->eosAtSink = true;
    b->changed.notify_all();
  }
  return GST_PAD_PROBE_OK;
}

// Runs on the trunk's thread with the tee pad blocked: detach the branch, then end its
// stream. The trunk and the other branches go on at once.
GstPadProbeReturn detachAndEnd(GstPad* pad, GstPadProbeInfo*, gpointer data) {
  auto* b = static_cast<OutputStage::Branch*>(data);
  {
    std::lock_guard lock(b->mutex);
    if (b->unlinked) return GST_PAD_PROBE_REMOVE;
    b->unlinked = true;
  }
  gst_pad_unlink(pad, b->binSink);
  gst_pad_send_event(b->binSink, gst_event_new_eos());
  std::lock_guard lock(b->mutex);
  b->changed.notify_all();
  return GST_PAD_PROBE_REMOVE;
}

GRef<GstCaps> frameCaps(int width, int height, const OutputFormat& f) {
  return GRef<GstCaps>(gst_caps_new_simple(
      "video/x-raw", "format", G_TYPE_STRING, "BGR", "width", G_TYPE_INT, width, "height",
      G_TYPE_INT, height, "framerate", GST_TYPE_FRACTION, f.rateNumerator, f.rateDenominator,
      "pixel-aspect-ratio", GST_TYPE_FRACTION, 1, 1, nullptr));
}

}  // namespace

void copyRowsFlipped(const uint8_t* bottomUp, uint8_t* dst, int rowBytes, int height) {
  const size_t row = static_cast<size_t>(rowBytes);
  for (int y = 0; y < height; ++y) {
    const uint8_t* from = bottomUp + static_cast<size_t>(height - 1 - y) * row;
    uint8_t* to = dst + static_cast<size_t>(y) * row;
    // Streaming stores: the frame is read by another thread later, not by this one, so
    // it need not pass through (and evict) this core's cache; a whole-frame memcpy gets
    // the same from the C library, row-sized ones do not.
    size_t done = (16 - (reinterpret_cast<uintptr_t>(to) & 15)) & 15;
    if (done > row) done = row;
    std::memcpy(to, from, done);
    for (; done + 64 <= row; done += 64) {
      const auto* s = reinterpret_cast<const __m128i*>(from + done);
      auto* d = reinterpret_cast<__m128i*>(to + done);
      const __m128i a = _mm_loadu_si128(s), b = _mm_loadu_si128(s + 1), c = _mm_loadu_si128(s + 2),
                    e = _mm_loadu_si128(s + 3);
      _mm_stream_si128(d, a);
      _mm_stream_si128(d + 1, b);
      _mm_stream_si128(d + 2, c);
      _mm_stream_si128(d + 3, e);
    }
    std::memcpy(to + done, from + done, row - done);
  }
  _mm_sfence();
}

OutputStage::OutputStage() {
  if (!gst_is_initialized()) gst_init(nullptr, nullptr);
  sem_init(&wake_, 0, 0);
}

OutputStage::~OutputStage() {
  std::vector<std::string> ids;
  {
    std::lock_guard lock(branchesMutex_);
    for (const auto& [id, branch] : branches_) ids.push_back(id);
  }
  for (const std::string& id : ids) removeBranch(id);
  stopPipeline();
  // The frames first, then their pool, taken out of service before it goes.
  for (Handed& h : handed_) h.buffer.reset();
  if (pool_) gst_buffer_pool_set_active(pool_, FALSE);
  pool_.reset();
  sem_destroy(&wake_);
}

void OutputStage::takeFrame(const uint8_t* pixels, int width, int height) {
  lastWidth_.store(width, std::memory_order_relaxed);
  lastHeight_.store(height, std::memory_order_relaxed);
  sourceGone_.store(false, std::memory_order_relaxed);
  if (!active_.load(std::memory_order_acquire)) return;
  if (pool_ == nullptr || width != poolWidth_ || height != poolHeight_) {
    // A new size (a new source): a new pool; buffers of the old one go when released.
    if (pool_) gst_buffer_pool_set_active(pool_, FALSE);
    pool_.reset(gst_buffer_pool_new());
    GstStructure* config = gst_buffer_pool_get_config(pool_);
    gst_buffer_pool_config_set_params(
        config, nullptr, static_cast<guint>(width) * 3 * static_cast<guint>(height), 4, 0);
    // set_config takes the config, whatever it answers.
    if (!gst_buffer_pool_set_config(pool_, config) || !gst_buffer_pool_set_active(pool_, TRUE)) {
      pool_.reset();
      return;
    }
    poolWidth_ = width;
    poolHeight_ = height;
  }
  // Never wait for a pooled buffer: with every one held downstream (a blocked appsrc, full
  // branch queues) this frame is left out, and the gap in the numbers counts it as dropped.
  GstBufferPoolAcquireParams noWait{};
  noWait.flags = GST_BUFFER_POOL_ACQUIRE_FLAG_DONTWAIT;
  GRef<GstBuffer> buffer;
  if (gst_buffer_pool_acquire_buffer(pool_, buffer.out(), &noWait) != GST_FLOW_OK) {
    taken_.fetch_add(1, std::memory_order_relaxed);
    return;
  }
  GstMapInfo map;
  if (!gst_buffer_map(buffer, &map, GST_MAP_WRITE)) return;
  copyRowsFlipped(pixels, map.data, width * 3, height);
  gst_buffer_unmap(buffer, &map);
  // Rows stay packed: the true stride travels with the frame.
  gsize offset[GST_VIDEO_MAX_PLANES] = {0};
  gint stride[GST_VIDEO_MAX_PLANES] = {width * 3};
  gst_buffer_add_video_meta_full(buffer, GST_VIDEO_FRAME_FLAG_NONE, GST_VIDEO_FORMAT_BGR, width,
                                 height, 1, offset, stride);
  // Its number and the time it came, for the stage's thread to put it on the grid.
  Handed& h = handed_[back_];
  h.buffer = std::move(buffer);
  h.number = taken_.fetch_add(1, std::memory_order_relaxed) + 1;
  h.time = monotonicNow();
  const unsigned was = middle_.exchange(back_ | kFresh, std::memory_order_acq_rel);
  back_ = was & 3;
  // One the stage's thread has not taken yet is dropped; its number shows the gap.
  handed_[back_].buffer.reset();
  sem_post(&wake_);  // never waits
}

void OutputStage::sourceStopped() {
  sourceGone_.store(true, std::memory_order_relaxed);
}

void OutputStage::setErrorHandler(ErrorHandler handler) {
  onError_ = std::move(handler);
}

void OutputStage::setSourceRate(int numerator, int denominator) {
  sourceRateN_ = numerator;
  sourceRateD_ = denominator > 0 ? denominator : 1;
}

Status OutputStage::startPipeline() {
  OutputFormat f;
  const int w = lastWidth_.load(std::memory_order_relaxed) & ~1;
  const int h = lastHeight_.load(std::memory_order_relaxed) & ~1;
  if (w > 0 && h > 0) {
    f.width = std::max(2, w);
    f.height = std::max(2, h);
  }
  // A rate that no encoder or consumer could take (none, or absurd) falls back to 30.
  if (sourceRateN_ > 0 && sourceRateN_ / sourceRateD_ <= 240) {
    f.rateNumerator = sourceRateN_;
    f.rateDenominator = sourceRateD_;
  }
  format_ = f;

  GRef<GstElement> pipeline = sinkRef(gst_pipeline_new("outputs"));
  GRef<GstElement> appsrc = sinkRef(gst_element_factory_make("appsrc", "frames"));
  GRef<GstElement> scale = sinkRef(gst_element_factory_make("videoscale", nullptr));
  GRef<GstElement> fixed = sinkRef(gst_element_factory_make("capsfilter", nullptr));
  GRef<GstElement> tee = sinkRef(gst_element_factory_make("tee", "split"));
  if (!pipeline || !appsrc || !scale || !fixed || !tee) {
    return Status::failure(
        "the GStreamer elements appsrc, videoscale, capsfilter and tee are needed");
  }
  pipeline_ = std::move(pipeline);
  appsrc_ = appsrc;
  tee_ = tee;
  // Every slot of the grid goes through: the stage's thread waits (never the streaming
  // thread) while the trunk is busy, and the pacer skips the windows it fell behind by.
  g_object_set(appsrc_, "is-live", TRUE, "format", GST_FORMAT_TIME, "do-timestamp", FALSE, "block",
               TRUE, "max-buffers", static_cast<guint64>(2), "min-latency",
               static_cast<gint64>(period()), nullptr);
  g_object_set(scale, "add-borders", TRUE, nullptr);
  g_object_set(fixed, "caps", frameCaps(f.width, f.height, f).get(), nullptr);
  g_object_set(tee_, "allow-not-linked", TRUE, nullptr);
  gst_bin_add_many(GST_BIN(pipeline_.get()), appsrc_, scale.get(), fixed.get(), tee_, nullptr);
  gst_element_link_many(appsrc_, scale.get(), fixed.get(), tee_, nullptr);
  gst_bus_set_sync_handler(GRef<GstBus>(gst_element_get_bus(pipeline_)), &OutputStage::onBusMessage,
                           this, nullptr);
  if (gst_element_set_state(pipeline_, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
    gst_element_set_state(pipeline_, GST_STATE_NULL);
    pipeline_.reset();
    appsrc_ = tee_ = nullptr;
    return Status::failure("the output stage could not start");
  }
  stopPushing_.store(false);
  active_.store(true, std::memory_order_release);
  pusher_ = std::thread([this] { pushLoop(); });
  return {};
}

void OutputStage::stopPipeline() {
  if (pipeline_ == nullptr) return;
  active_.store(false, std::memory_order_release);
  stopPushing_.store(true);
  sem_post(&wake_);
  if (pusher_.joinable()) pusher_.join();
  gst_element_set_state(pipeline_, GST_STATE_NULL);
  pipeline_.reset();
  appsrc_ = tee_ = nullptr;
  last_.reset();
  black_.reset();
  pushed_.store(0, std::memory_order_relaxed);
  nextSlot_ = 0;
}

GstClockTime OutputStage::period() const {
  return gridTime(1, format_.rateNumerator, format_.rateDenominator);
}

GstBuffer* OutputStage::blackFrame() {
  if (black_ == nullptr) {
    const gsize size = static_cast<gsize>(format_.width) * 3 * format_.height;
    black_.reset(gst_buffer_new_allocate(nullptr, size, nullptr));
    gst_buffer_memset(black_, 0, 0, size);
    gsize offset[GST_VIDEO_MAX_PLANES] = {0};
    gint stride[GST_VIDEO_MAX_PLANES] = {format_.width * 3};
    gst_buffer_add_video_meta_full(black_, GST_VIDEO_FRAME_FLAG_NONE, GST_VIDEO_FORMAT_BGR,
                                   format_.width, format_.height, 1, offset, stride);
    GST_BUFFER_OFFSET(black_) = 0;
  }
  return black_;
}

void OutputStage::pushLoop() {
  FramePacer pacer(static_cast<int64_t>(period()), monotonicNow());
  FramePacer::Actions actions;
  GRef<GstBuffer> waiting;
  while (!stopPushing_.load(std::memory_order_relaxed)) {
    actions.clear();
    GRef<GstBuffer> arrived;
    if ((middle_.load(std::memory_order_acquire) & kFresh) != 0) {
      front_ = middle_.exchange(front_, std::memory_order_acq_rel) & 3;
      Handed& h = handed_[front_];
      arrived = std::move(h.buffer);
      if (arrived) {
        GST_BUFFER_OFFSET(arrived) = h.number;
        pacer.frameArrived(h.time, actions);
      }
    }
    pacer.advanceTo(monotonicNow(), actions);
    for (const FramePacer::Action a : actions) {
      switch (a) {
        case FramePacer::Action::SendArrived:
          // The pooled buffer itself travels, so the pool gets it back whole.
          pushFrame(std::move(arrived), true);
          break;
        case FramePacer::Action::HoldArrived:
          waiting = std::move(arrived);
          break;
        case FramePacer::Action::DropWaiting:
          waiting.reset();
          break;
        case FramePacer::Action::SendWaiting:
          pushFrame(std::move(waiting), true);
          break;
        case FramePacer::Action::Repeat:
          pushRepeat();
          break;
      }
    }
    arrived.reset();  // not reached: every arrival is placed
    const int64_t deadline = pacer.nextDeadline();
    const timespec until{static_cast<time_t>(deadline / 1000000000),
                         static_cast<long>(deadline % 1000000000)};
    sem_clockwait(&wake_, CLOCK_MONOTONIC, &until);
    while (sem_trywait(&wake_) == 0) {
    }
  }
}

void OutputStage::pushRepeat() {
  if (sourceGone_.load(std::memory_order_relaxed))
    last_.reset();  // the source is gone: black rather than a frozen picture
  if (last_) {
    // A repeat needs a timestamp of its own: a copy of its own, so that the pooled
    // buffer never shares its memory (the pool would then discard it).
    pushFrame(GRef<GstBuffer>(gst_buffer_copy_deep(last_)), false);
  } else {
    pushFrame(GRef<GstBuffer>(gst_buffer_copy(blackFrame())), false);
  }
}

void OutputStage::pushFrame(GRef<GstBuffer> frame, bool keepForRepeats) {
  // Ours alone here, so the timestamps are set in place (no copy).
  frame.reset(gst_buffer_make_writable(frame.release()));
  const GstVideoMeta* meta = gst_buffer_get_video_meta(frame);
  const int w = meta != nullptr ? static_cast<int>(meta->width) : format_.width;
  const int h = meta != nullptr ? static_cast<int>(meta->height) : format_.height;
  GST_BUFFER_PTS(frame) = gridTime(nextSlot_, format_.rateNumerator, format_.rateDenominator);
  GST_BUFFER_DTS(frame) = GST_CLOCK_TIME_NONE;
  GST_BUFFER_DURATION(frame) =
      gridTime(nextSlot_ + 1, format_.rateNumerator, format_.rateDenominator) -
      GST_BUFFER_PTS(frame);
  ++nextSlot_;
  if (keepForRepeats) last_.reset(gst_buffer_ref(frame));
  const GRef<GstSample> sample(gst_sample_new(frame, frameCaps(w, h, format_), nullptr, nullptr));
  gst_app_src_push_sample(GST_APP_SRC(appsrc_), sample);
  pushed_.fetch_add(1, std::memory_order_relaxed);
}

GstBusSyncReply OutputStage::onBusMessage(GstBus*, GstMessage* message, gpointer data) {
  // A dropped message is the handler's to free; each one holds its element alive.
  const GRef<GstMessage> dropped(message);
  if (GST_MESSAGE_TYPE(message) != GST_MESSAGE_ERROR) return GST_BUS_DROP;
  auto* self = static_cast<OutputStage*>(data);
  const std::string text = errorText(message);
  std::string id;
  bool report = true;
  {
    std::lock_guard lock(self->branchesMutex_);
    for (auto& [key, b] : self->branches_) {
      if (!gst_object_has_as_ancestor(GST_MESSAGE_SRC(message), GST_OBJECT(b->bin.get()))) continue;
      id = key;
      b->failed.store(true, std::memory_order_relaxed);
      std::lock_guard blk(b->mutex);
      if (!b->error.empty())
        report = false;  // the first error says it; the rest follow
      else
        b->error = text;
      if (b->starting.load()) report = false;  // addBranch returns it
      b->changed.notify_all();
    }
  }
  if (report && self->onError_) self->onError_(id, text);
  return GST_BUS_DROP;
}

Status OutputStage::addBranch(const std::string& id, const std::string& description,
                              const std::function<void(GstBin*)>& configure) {
  if (hasBranch(id)) return Status::failure("already running");
  if (pipeline_ == nullptr) {
    if (Status started = startPipeline(); !started) return started;
  }

  GRef<GError> parseError;
  const std::string full =
      "queue name=vzqueue leaky=downstream max-size-buffers=" + std::to_string(kQueueFrames) +
      " max-size-bytes=0 max-size-time=0 ! " + description;
  GRef<GstElement> bin =
      sinkRef(gst_parse_bin_from_description(full.c_str(), TRUE, parseError.out()));
  if (!bin || parseError) {
    const std::string why = parseError ? parseError->message : "cannot build the output";
    bin.reset();
    if (branches_.empty()) stopPipeline();
    return Status::failure(why);
  }
  auto branch = std::make_unique<Branch>();
  Branch* b = branch.get();
  b->id = id;
  b->queue.reset(gst_bin_get_by_name(GST_BIN(bin.get()), "vzqueue"));
  b->binSink.reset(gst_element_get_static_pad(bin, "sink"));
  const GRef<GstElement> sink(gst_bin_get_by_name(GST_BIN(bin.get()), "sink"));
  b->bin = std::move(bin);
  if (!b->queue || !b->binSink || !sink) {
    branch.reset();
    if (branches_.empty()) stopPipeline();
    return Status::failure("the output has no sink");
  }
  // A consumer joining a running stage must not take the stage back to preroll (a live
  // stage "loses state" for an async sink, and a blocked consumer would then hold it there).
  if (g_object_class_find_property(G_OBJECT_GET_CLASS(sink.get()), "async") != nullptr)
    g_object_set(sink, "async", FALSE, nullptr);
  if (configure) configure(GST_BIN(b->bin.get()));
  const GRef<GstPad> qsink(gst_element_get_static_pad(b->queue, "sink"));
  const GRef<GstPad> qsrc(gst_element_get_static_pad(b->queue, "src"));
  const GRef<GstPad> ssink(gst_element_get_static_pad(sink, "sink"));
  const GRef<GstElement> stamp(gst_bin_get_by_name(GST_BIN(b->bin.get()), "stamp"));
  const GRef<GstPad> stampSink(
      gst_element_get_static_pad(stamp ? stamp.get() : sink.get(), "sink"));
  b->sourceGone = &sourceGone_;
  b->admitAfter = taken_.load(std::memory_order_relaxed);
  b->admitWait = std::max(1, format_.rateNumerator / std::max(1, format_.rateDenominator));
  b->rateN = format_.rateNumerator;
  b->rateD = format_.rateDenominator;
  gst_pad_add_probe(qsink, GST_PAD_PROBE_TYPE_BUFFER, enterBranch, b, nullptr);
  gst_pad_add_probe(qsink, GST_PAD_PROBE_TYPE_QUERY_DOWNSTREAM, answerAllocation, b, nullptr);
  gst_pad_add_probe(qsrc, GST_PAD_PROBE_TYPE_BUFFER, leaveQueue, b, nullptr);
  if (stampSink != nullptr)
    gst_pad_add_probe(stampSink, GST_PAD_PROBE_TYPE_BUFFER, stampFrame, b, nullptr);
  if (ssink != nullptr)
    gst_pad_add_probe(ssink, GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM, watchEos, b, nullptr);

  {
    std::lock_guard lock(branchesMutex_);
    branches_[id] = std::move(branch);
  }
  gst_bin_add(GST_BIN(pipeline_.get()), b->bin);
  if (!gst_element_sync_state_with_parent(b->bin) ||
      gst_element_get_state(b->bin, nullptr, nullptr, 0) == GST_STATE_CHANGE_FAILURE) {
    std::string why;
    {
      std::lock_guard lock(b->mutex);
      why = b->error.empty() ? "the output could not start" : b->error;
      b->unlinked = true;  // never linked: nothing to end
    }
    removeBranch(id, std::chrono::milliseconds(0));
    return Status::failure(why);
  }
  b->teePad.reset(gst_element_request_pad_simple(tee_, "src_%u"));
  gst_pad_link(b->teePad, b->binSink);
  b->started = std::chrono::steady_clock::now();
  b->starting.store(false);
  return {};
}

bool OutputStage::hasBranch(const std::string& id) const {
  std::lock_guard lock(branchesMutex_);
  return branches_.count(id) != 0;
}

void OutputStage::labelBranch(const std::string& id, const std::string& label) {
  std::lock_guard lock(branchesMutex_);
  if (const auto it = branches_.find(id); it != branches_.end()) it->second->label = label;
}

BranchReport OutputStage::report(const std::string& id) const {
  std::lock_guard lock(branchesMutex_);
  const auto it = branches_.find(id);
  if (it == branches_.end()) return {};
  const Branch& b = *it->second;
  guint level = 0;
  g_object_get(b.queue, "current-level-buffers", &level, nullptr);
  BranchReport r;
  r.framesWritten = b.passed.load(std::memory_order_relaxed);
  r.framesRepeated = b.repeated.load(std::memory_order_relaxed);
  // Pictures that went into the queue and neither came out nor wait in it; exact once the
  // queue is empty (after the end of the stream, or with the branch down).
  const uint64_t in = b.enteredPictures.load(std::memory_order_relaxed);
  const uint64_t out = b.passedPictures.load(std::memory_order_relaxed) + level;
  r.droppedBehind = in > out ? in - out : 0;
  r.framesDropped = r.droppedBehind + b.skipped.load(std::memory_order_relaxed);
  r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - b.started).count();
  r.label = b.label;
  r.format = format_;
  return r;
}

BranchReport OutputStage::removeBranch(const std::string& id, std::chrono::milliseconds timeout) {
  Branch* b = nullptr;
  {
    std::lock_guard lock(branchesMutex_);
    const auto it = branches_.find(id);
    if (it == branches_.end()) return {};
    b = it->second.get();
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - b->started).count();
  bool finalised = false;
  if (b->teePad != nullptr) {
    const gulong probe =
        gst_pad_add_probe(b->teePad, GST_PAD_PROBE_TYPE_BLOCK_DOWNSTREAM, detachAndEnd, b, nullptr);
    std::unique_lock lock(b->mutex);
    // A failed branch gets a moment only: its sink may never see the end.
    const auto wait =
        b->failed.load() ? std::min(timeout, std::chrono::milliseconds(1000)) : timeout;
    finalised = b->changed.wait_for(lock, wait, [b] { return b->eosAtSink; });
    const bool detached = b->unlinked;
    b->unlinked = true;
    lock.unlock();
    if (!detached) {
      // No frame came through the trunk to run the probe: detach from here.
      gst_pad_remove_probe(b->teePad, probe);
      gst_pad_unlink(b->teePad, b->binSink);
    }
  }
  gst_element_set_state(b->bin, GST_STATE_NULL);
  BranchReport r = report(id);
  r.seconds = seconds;
  r.finalised = finalised;
  gst_bin_remove(GST_BIN(pipeline_.get()), b->bin);
  if (b->teePad) gst_element_release_request_pad(tee_, b->teePad);
  bool last = false;
  std::unique_ptr<Branch> gone;  // its references go outside the lock the bus handler takes
  {
    std::lock_guard lock(branchesMutex_);
    const auto it = branches_.find(id);
    gone = std::move(it->second);
    branches_.erase(it);
    last = branches_.empty();
  }
  gone.reset();
  if (last) stopPipeline();
  return r;
}

}  // namespace vz
