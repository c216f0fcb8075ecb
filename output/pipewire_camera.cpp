// SPDX-License-Identifier: GPL-3.0-or-later
#include "output/pipewire_camera.h"

#include <gst/video/video.h>
#include <pipewire/pipewire.h>
#include <spa/buffer/meta.h>
#include <spa/param/video/format-utils.h>
#include <spa/pod/builder.h>

#include <cstring>
#include <utility>
#include <vector>

#include "gstref/gst_ref.h"
#include "output/camera_target.h"

namespace vz {

namespace {

// How often a lost node asks whether a daemon answers again.
constexpr long kRetryNanoseconds = 250'000'000;

struct Offer {
  spa_video_format spa;
  GstVideoFormat gst;
  const char* name;
};
// In order of preference: a reader that asks for nothing gets the first.
constexpr Offer kFormats[] = {{SPA_VIDEO_FORMAT_I420, GST_VIDEO_FORMAT_I420, "I420"},
                              {SPA_VIDEO_FORMAT_NV12, GST_VIDEO_FORMAT_NV12, "NV12"},
                              {SPA_VIDEO_FORMAT_YUY2, GST_VIDEO_FORMAT_YUY2, "YUY2"}};

const Offer* findOffer(uint32_t spa) {
  for (const Offer& o : kFormats)
    if (o.spa == spa) return &o;
  return nullptr;
}

// The picture's place in a frame of another shape: as large as fits, centred, on even
// coordinates so that 4:2:0 chroma lines up with it.
struct Place {
  int x, y, width, height;
};
Place fit(int srcW, int srcH, int dstW, int dstH) {
  Place p{0, 0, dstW, dstH};
  if (static_cast<long>(srcW) * dstH > static_cast<long>(dstW) * srcH)
    p.height = static_cast<int>(static_cast<long>(dstW) * srcH / srcW) & ~1;
  else
    p.width = static_cast<int>(static_cast<long>(dstH) * srcW / srcH) & ~1;
  p.x = ((dstW - p.width) / 2) & ~1;
  p.y = ((dstH - p.height) / 2) & ~1;
  return p;
}

}  // namespace

struct PipeWireCamera::Impl {
  PipeWireCamera* owner = nullptr;
  StateHandler onState;
  pw_thread_loop* loop = nullptr;
  pw_context* context = nullptr;
  spa_source* retry = nullptr;

  // Everything below up to the branch's part: the loop's thread, or under its lock.
  pw_core* core = nullptr;
  spa_hook coreListener{};
  pw_stream* stream = nullptr;
  spa_hook streamListener{};
  OutputFormat outputs;
  bool lost = false;
  bool haveFormat = false;
  GstVideoInfo want{};        // what the reader negotiated
  uint64_t formatSerial = 0;  // counts each change of want

  // The branch's streaming thread only.
  GRef<GstVideoConverter> converter;
  GstVideoInfo convIn{}, convOut{};
  uint64_t convSerial = ~uint64_t{0};
  GRef<GstBuffer> scratch;
  GstClockTime nextDue = GST_CLOCK_TIME_NONE;
  uint64_t sequence = 0;

  bool connect();
  void disconnect();
  void markLost();
  void ready();
  void formatChanged(const spa_pod* param);
};

namespace {

void onCoreError(void* data, uint32_t id, int, int, const char*) {
  // An error on the connection itself (the daemon went away, or dropped us): start over.
  if (id == PW_ID_CORE) static_cast<PipeWireCamera::Impl*>(data)->markLost();
}

void onStreamState(void* data, pw_stream_state, pw_stream_state state, const char*) {
  auto* d = static_cast<PipeWireCamera::Impl*>(data);
  if (state == PW_STREAM_STATE_ERROR) {
    d->markLost();
  } else if (state == PW_STREAM_STATE_PAUSED || state == PW_STREAM_STATE_STREAMING) {
    d->ready();
  }
}

void onStreamParam(void* data, uint32_t id, const spa_pod* param) {
  if (id == SPA_PARAM_Format) static_cast<PipeWireCamera::Impl*>(data)->formatChanged(param);
}

void onRetry(void* data, uint64_t) {
  auto* d = static_cast<PipeWireCamera::Impl*>(data);
  if (!d->lost) return;
  d->disconnect();
  d->connect();
}

const pw_core_events kCoreEvents = {
    .version = PW_VERSION_CORE_EVENTS,
    .error = onCoreError,
};

const pw_stream_events kStreamEvents = {
    .version = PW_VERSION_STREAM_EVENTS,
    .state_changed = onStreamState,
    .param_changed = onStreamParam,
};

}  // namespace

bool PipeWireCamera::Impl::connect() {
  core = pw_context_connect(context, nullptr, 0);
  if (core == nullptr) return false;
  pw_core_add_listener(core, &coreListener, &kCoreEvents, this);
  pw_properties* props = pw_properties_new(
      PW_KEY_MEDIA_TYPE, "Video", PW_KEY_MEDIA_CLASS, "Video/Source", PW_KEY_MEDIA_ROLE, "Camera",
      PW_KEY_NODE_NAME, kCameraNodeName, PW_KEY_NODE_DESCRIPTION, "Video Zarnix", nullptr);
  stream = pw_stream_new(core, kCameraNodeName, props);
  if (stream == nullptr) {
    disconnect();
    return false;
  }
  pw_stream_add_listener(stream, &streamListener, &kStreamEvents, this);

  // The sizes and rates on offer, the outputs' own first (the default for a reader that
  // does not ask).
  std::vector<std::pair<int, int>> sizes = {{outputs.width, outputs.height}};
  for (std::pair<int, int> s : {std::pair{1920, 1080}, {1280, 720}, {640, 480}, {320, 240}})
    if (s != sizes.front()) sizes.push_back(s);
  std::vector<std::pair<int, int>> rates = {{outputs.rateNumerator, outputs.rateDenominator}};
  for (std::pair<int, int> r : {std::pair{30, 1}, {15, 1}})
    if (static_cast<long>(r.first) * rates[0].second !=
        static_cast<long>(rates[0].first) * r.second)
      rates.push_back(r);

  uint8_t buffer[4096];
  spa_pod_builder b = SPA_POD_BUILDER_INIT(buffer, sizeof buffer);
  std::vector<const spa_pod*> params;
  for (const Offer& o : kFormats) {
    spa_pod_frame object, choice;
    spa_pod_builder_push_object(&b, &object, SPA_TYPE_OBJECT_Format, SPA_PARAM_EnumFormat);
    spa_pod_builder_add(&b, SPA_FORMAT_mediaType, SPA_POD_Id(SPA_MEDIA_TYPE_video),
                        SPA_FORMAT_mediaSubtype, SPA_POD_Id(SPA_MEDIA_SUBTYPE_raw),
                        SPA_FORMAT_VIDEO_format, SPA_POD_Id(o.spa), 0);
    // An enumeration: its first value is the default, the alternatives follow.
    spa_pod_builder_prop(&b, SPA_FORMAT_VIDEO_size, 0);
    spa_pod_builder_push_choice(&b, &choice, SPA_CHOICE_Enum, 0);
    spa_pod_builder_rectangle(&b, sizes[0].first, sizes[0].second);
    for (const auto& [w, h] : sizes) spa_pod_builder_rectangle(&b, w, h);
    spa_pod_builder_pop(&b, &choice);
    spa_pod_builder_prop(&b, SPA_FORMAT_VIDEO_framerate, 0);
    spa_pod_builder_push_choice(&b, &choice, SPA_CHOICE_Enum, 0);
    spa_pod_builder_fraction(&b, rates[0].first, rates[0].second);
    for (const auto& [n, d] : rates) spa_pod_builder_fraction(&b, n, d);
    spa_pod_builder_pop(&b, &choice);
    params.push_back(static_cast<const spa_pod*>(spa_pod_builder_pop(&b, &object)));
  }
  const int rc = pw_stream_connect(
      stream, PW_DIRECTION_OUTPUT, PW_ID_ANY,
      static_cast<pw_stream_flags>(PW_STREAM_FLAG_DRIVER | PW_STREAM_FLAG_MAP_BUFFERS),
      params.data(), static_cast<uint32_t>(params.size()));
  if (rc < 0) {
    disconnect();
    return false;
  }
  return true;
}

void PipeWireCamera::Impl::disconnect() {
  if (stream != nullptr) {
    spa_hook_remove(&streamListener);
    pw_stream_destroy(stream);
    stream = nullptr;
  }
  if (core != nullptr) {
    spa_hook_remove(&coreListener);
    pw_core_disconnect(core);
    core = nullptr;
  }
  haveFormat = false;
  ++formatSerial;
}

void PipeWireCamera::Impl::markLost() {
  // The connection is taken down by the retry timer: not from within its own callback.
  lost = true;
  haveFormat = false;
  ++formatSerial;
  if (owner->offered_.exchange(false) && onState) onState(State::Lost);
}

void PipeWireCamera::Impl::ready() {
  lost = false;
  // Said only after a loss: the first start is the caller's to announce.
  if (!owner->offered_.exchange(true) && onState) onState(State::Offered);
}

void PipeWireCamera::Impl::formatChanged(const spa_pod* param) {
  ++formatSerial;
  haveFormat = false;
  if (param == nullptr) return;  // the reader went
  uint32_t mediaType = 0, mediaSubtype = 0;
  spa_video_info_raw raw{};
  if (spa_format_parse(param, &mediaType, &mediaSubtype) < 0 || mediaType != SPA_MEDIA_TYPE_video ||
      mediaSubtype != SPA_MEDIA_SUBTYPE_raw || spa_format_video_raw_parse(param, &raw) < 0)
    return;
  const Offer* o = findOffer(raw.format);
  if (o == nullptr || raw.size.width < 2 || raw.size.height < 2) return;
  gst_video_info_set_format(&want, o->gst, raw.size.width, raw.size.height);
  want.fps_n = static_cast<int>(raw.framerate.num);
  want.fps_d = raw.framerate.denom > 0 ? static_cast<int>(raw.framerate.denom) : 1;
  haveFormat = true;

  uint8_t buffer[1024];
  spa_pod_builder b = SPA_POD_BUILDER_INIT(buffer, sizeof buffer);
  const spa_pod* params[2];
  params[0] = static_cast<const spa_pod*>(spa_pod_builder_add_object(
      &b, SPA_TYPE_OBJECT_ParamBuffers, SPA_PARAM_Buffers, SPA_PARAM_BUFFERS_buffers,
      SPA_POD_CHOICE_RANGE_Int(4, 2, 8), SPA_PARAM_BUFFERS_blocks, SPA_POD_Int(1),
      SPA_PARAM_BUFFERS_size, SPA_POD_Int(static_cast<int>(want.size)), SPA_PARAM_BUFFERS_stride,
      SPA_POD_Int(want.stride[0]), SPA_PARAM_BUFFERS_dataType,
      SPA_POD_CHOICE_FLAGS_Int((1 << SPA_DATA_MemFd) | (1 << SPA_DATA_MemPtr))));
  params[1] = static_cast<const spa_pod*>(spa_pod_builder_add_object(
      &b, SPA_TYPE_OBJECT_ParamMeta, SPA_PARAM_Meta, SPA_PARAM_META_type,
      SPA_POD_Id(SPA_META_Header), SPA_PARAM_META_size, SPA_POD_Int(sizeof(spa_meta_header))));
  pw_stream_update_params(stream, params, 2);
}

PipeWireCamera::PipeWireCamera(StateHandler onState) : impl_(new Impl) {
  if (!gst_is_initialized()) gst_init(nullptr, nullptr);
  pw_init(nullptr, nullptr);
  impl_->owner = this;
  impl_->onState = std::move(onState);
  impl_->loop = pw_thread_loop_new("vz-camera", nullptr);
  if (impl_->loop != nullptr)
    impl_->context = pw_context_new(pw_thread_loop_get_loop(impl_->loop), nullptr, 0);
}

PipeWireCamera::~PipeWireCamera() {
  if (impl_->loop != nullptr) {
    pw_thread_loop_lock(impl_->loop);
    if (impl_->retry != nullptr)
      pw_loop_destroy_source(pw_thread_loop_get_loop(impl_->loop), impl_->retry);
    impl_->disconnect();
    pw_thread_loop_unlock(impl_->loop);
    pw_thread_loop_stop(impl_->loop);
    if (impl_->context != nullptr) pw_context_destroy(impl_->context);
    pw_thread_loop_destroy(impl_->loop);
  }
  delete impl_;
}

Status PipeWireCamera::start(const OutputFormat& outputs) {
  Impl& d = *impl_;
  if (d.loop == nullptr || d.context == nullptr)
    return Status::failure("cannot set up a PipeWire client");
  if (pw_thread_loop_start(d.loop) < 0) return Status::failure("cannot start PipeWire's thread");
  pw_thread_loop_lock(d.loop);
  d.outputs = outputs;
  const bool ok = d.connect();
  if (ok) {
    offered_.store(true, std::memory_order_relaxed);
    d.retry = pw_loop_add_timer(pw_thread_loop_get_loop(d.loop), onRetry, &d);
    timespec first{0, kRetryNanoseconds}, every{0, kRetryNanoseconds};
    pw_loop_update_timer(pw_thread_loop_get_loop(d.loop), d.retry, &first, &every, false);
  }
  pw_thread_loop_unlock(d.loop);
  return ok ? Status() : Status::failure("no PipeWire daemon answers for the virtual camera");
}

void PipeWireCamera::deliver(GstSample* sample) {
  Impl& d = *impl_;
  GstBuffer* in = gst_sample_get_buffer(sample);
  GstVideoInfo inInfo;
  if (d.loop == nullptr || in == nullptr ||
      !gst_video_info_from_caps(&inInfo, gst_sample_get_caps(sample)))
    return;
  GstVideoInfo out;
  uint64_t serial = 0;
  pw_thread_loop_lock(d.loop);
  const bool streaming = d.stream != nullptr && d.haveFormat &&
                         pw_stream_get_state(d.stream, nullptr) == PW_STREAM_STATE_STREAMING;
  if (streaming) {
    out = d.want;
    serial = d.formatSerial;
  }
  pw_thread_loop_unlock(d.loop);
  if (!streaming) return;

  // The reader's rate: a frame goes when the reader's next one is due; at a rate above the
  // outputs' each frame goes once.
  if (serial != d.convSerial) d.nextDue = GST_CLOCK_TIME_NONE;
  const GstClockTime pts = GST_BUFFER_PTS(in);
  if (GST_CLOCK_TIME_IS_VALID(pts) && out.fps_n > 0) {
    const GstClockTime period = gst_util_uint64_scale_int(GST_SECOND, out.fps_d, out.fps_n);
    if (GST_CLOCK_TIME_IS_VALID(d.nextDue) && pts + period / 4 < d.nextDue) return;
    d.nextDue = !GST_CLOCK_TIME_IS_VALID(d.nextDue) || pts > d.nextDue + period
                    ? pts + period
                    : d.nextDue + period;
  }

  if (serial != d.convSerial || !gst_video_info_is_equal(&inInfo, &d.convIn)) {
    const Place p = fit(GST_VIDEO_INFO_WIDTH(&inInfo), GST_VIDEO_INFO_HEIGHT(&inInfo),
                        GST_VIDEO_INFO_WIDTH(&out), GST_VIDEO_INFO_HEIGHT(&out));
    GstStructure* options = gst_structure_new(
        "options", GST_VIDEO_CONVERTER_OPT_DEST_X, G_TYPE_INT, p.x, GST_VIDEO_CONVERTER_OPT_DEST_Y,
        G_TYPE_INT, p.y, GST_VIDEO_CONVERTER_OPT_DEST_WIDTH, G_TYPE_INT, p.width,
        GST_VIDEO_CONVERTER_OPT_DEST_HEIGHT, G_TYPE_INT, p.height,
        GST_VIDEO_CONVERTER_OPT_FILL_BORDER, G_TYPE_BOOLEAN, TRUE,
        GST_VIDEO_CONVERTER_OPT_BORDER_ARGB, G_TYPE_UINT, 0xff000000u, nullptr);
    // The converter changes no rate (that is done above): it wants the input's on both sides.
    GstVideoInfo to = out;
    to.fps_n = inInfo.fps_n;
    to.fps_d = inInfo.fps_d;
    d.converter.reset(gst_video_converter_new(&inInfo, &to, options));  // takes options
    d.scratch.reset(gst_buffer_new_allocate(nullptr, GST_VIDEO_INFO_SIZE(&out), nullptr));
    d.convIn = inInfo;
    d.convOut = out;
    d.convSerial = serial;
  }
  if (!d.converter || !d.scratch) return;
  GstVideoFrame src, dst;
  if (!gst_video_frame_map(&src, &inInfo, in, GST_MAP_READ)) return;
  if (!gst_video_frame_map(&dst, &d.convOut, d.scratch, GST_MAP_WRITE)) {
    gst_video_frame_unmap(&src);
    return;
  }
  gst_video_converter_frame(d.converter, &src, &dst);
  gst_video_frame_unmap(&dst);
  gst_video_frame_unmap(&src);

  GstMapInfo map;
  if (!gst_buffer_map(d.scratch, &map, GST_MAP_READ)) return;
  pw_thread_loop_lock(d.loop);
  // The format may have changed (or the node gone) while converting: then this frame is stale.
  if (d.stream != nullptr && serial == d.formatSerial) {
    if (pw_buffer* b = pw_stream_dequeue_buffer(d.stream)) {  // none: the reader is behind
      spa_data& data = b->buffer->datas[0];
      if (data.data != nullptr && data.maxsize >= map.size) {
        std::memcpy(data.data, map.data, map.size);
        data.chunk->offset = 0;
        data.chunk->size = static_cast<uint32_t>(map.size);
        data.chunk->stride = GST_VIDEO_INFO_PLANE_STRIDE(&d.convOut, 0);
      }
      if (auto* h = static_cast<spa_meta_header*>(
              spa_buffer_find_meta_data(b->buffer, SPA_META_Header, sizeof(spa_meta_header)))) {
        h->flags = 0;
        h->pts = GST_CLOCK_TIME_IS_VALID(pts) ? static_cast<int64_t>(pts) : -1;
        h->dts_offset = 0;
        h->seq = d.sequence++;
      }
      pw_stream_queue_buffer(d.stream, b);
      if (pw_stream_is_driving(d.stream)) pw_stream_trigger_process(d.stream);
    }
  }
  pw_thread_loop_unlock(d.loop);
  gst_buffer_unmap(d.scratch, &map);
}

}  // namespace vz
