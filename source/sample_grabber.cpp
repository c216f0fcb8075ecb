// SPDX-License-Identifier: GPL-3.0-or-later
#include "source/sample_grabber.h"

#include <gst/base/gstbasetransform.h>
#include <gst/video/video.h>

#include <algorithm>
#include <atomic>
#include <vector>

#include "engine/frame_times.h"
#include "engine/row_order.h"

namespace vz {
namespace {

// Lets the GUI thread close delivery and wait out a callback in progress, while the
// streaming thread never waits: bit 0 = closed, the rest counts callbacks in progress.
class DeliveryGate {
 public:
  bool enter() {
    if (state_.fetch_add(2) & 1) {
      leave();
      return false;
    }
    return true;
  }
  void leave() {
    if (state_.fetch_sub(2) & 1) state_.notify_all();
  }
  void closeAndDrain() {
    state_.fetch_or(1);
    for (unsigned v = state_.load(); v != 1; v = state_.load()) state_.wait(v);
  }

 private:
  std::atomic<unsigned> state_{0};
};

struct GrabberState {
  std::atomic<SampleGrabberCallback*> callback{nullptr};
  DeliveryGate gate;
  // Taken by whoever presents a frame (the streaming thread, or a stand-in picture from
  // another thread); a frame that finds it taken is skipped, never waited for.
  std::atomic<bool> presenting{false};
  std::atomic<int> width{0};
  std::atomic<int> height{0};
  std::atomic<int> rateNumerator{0};
  std::atomic<int> rateDenominator{1};
  // Streaming thread only.
  GstVideoInfo info{};
  bool haveInfo = false;
  std::vector<uint8_t> packed;  // sized when the caps change, never per frame
};

struct VzSampleGrabber {
  GstBaseTransform parent;
  GrabberState* state;
};

struct VzSampleGrabberClass {
  GstBaseTransformClass parent_class;
};

GType vz_sample_grabber_get_type();
#define VZ_SAMPLE_GRABBER(obj) \
  (G_TYPE_CHECK_INSTANCE_CAST((obj), vz_sample_grabber_get_type(), VzSampleGrabber))

G_DEFINE_TYPE(VzSampleGrabber, vz_sample_grabber, GST_TYPE_BASE_TRANSFORM)

GrabberState* stateOf(GstBaseTransform* trans) {
  return VZ_SAMPLE_GRABBER(trans)->state;
}

gboolean grabberSetCaps(GstBaseTransform* trans, GstCaps* incaps, GstCaps*) {
  GrabberState* st = stateOf(trans);
  if (!st->gate.enter()) return TRUE;  // shutting down: nothing will be delivered
  GstVideoInfo info;
  const bool ok = gst_video_info_from_caps(&info, incaps) &&
                  GST_VIDEO_INFO_FORMAT(&info) == GST_VIDEO_FORMAT_BGR;
  if (ok) {
    st->info = info;
    st->haveInfo = true;
    const int w = GST_VIDEO_INFO_WIDTH(&info), h = GST_VIDEO_INFO_HEIGHT(&info);
    st->packed.assign(static_cast<size_t>(w) * 3 * static_cast<size_t>(h), 0);
    st->width.store(w, std::memory_order_relaxed);
    st->height.store(h, std::memory_order_relaxed);
    st->rateNumerator.store(GST_VIDEO_INFO_FPS_N(&info), std::memory_order_relaxed);
    st->rateDenominator.store(std::max(1, GST_VIDEO_INFO_FPS_D(&info)), std::memory_order_relaxed);
  }
  st->gate.leave();
  return ok;
}

GstFlowReturn grabberTransformIp(GstBaseTransform* trans, GstBuffer* buf) {
  markFrameCallbackStart();
  GrabberState* st = stateOf(trans);
  // The acquire pairs with the GUI thread's release when it set the callback, so that
  // everything set up before the run is visible here.
  SampleGrabberCallback* callback = st->callback.load(std::memory_order_acquire);
  if (callback == nullptr || !st->haveInfo) return GST_FLOW_OK;
  if (!st->gate.enter()) return GST_FLOW_OK;
  if (st->presenting.exchange(true, std::memory_order_acquire)) {
    st->gate.leave();
    return GST_FLOW_OK;
  }

  GstVideoFrame frame;
  if (gst_video_frame_map(&frame, &st->info, buf, GST_MAP_READWRITE)) {
    const int w = GST_VIDEO_FRAME_WIDTH(&frame), h = GST_VIDEO_FRAME_HEIGHT(&frame);
    const int stride = GST_VIDEO_FRAME_PLANE_STRIDE(&frame, 0);
    const int rowBytes = w * 3;
    auto* data = static_cast<uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&frame, 0));
    // A buffer that cannot hold the frame its caps announce is skipped, never overrun.
    const gsize needed = static_cast<gsize>(stride) * (h - 1) + rowBytes;
    if (w > 0 && h > 0 && stride >= rowBytes && gst_buffer_get_size(buf) >= needed) {
      if (stride == rowBytes) {
        flipRowsInPlace(data, rowBytes, h);
        callback->SampleCB(data, w, h);
      } else {
        // Padded rows: repack into our work buffer; the buffer passed on downstream keeps
        // the unprocessed picture, which the null renderer discards anyway.
        packRowsBottomUp(data, stride, st->packed.data(), rowBytes, h);
        callback->SampleCB(st->packed.data(), w, h);
      }
    }
    gst_video_frame_unmap(&frame);
  }
  st->presenting.store(false, std::memory_order_release);
  st->gate.leave();
  return GST_FLOW_OK;
}

void grabberFinalize(GObject* object) {
  delete VZ_SAMPLE_GRABBER(object)->state;
  G_OBJECT_CLASS(vz_sample_grabber_parent_class)->finalize(object);
}

void vz_sample_grabber_class_init(VzSampleGrabberClass* klass) {
  GstElementClass* element = GST_ELEMENT_CLASS(klass);
  static GstStaticPadTemplate sinkTemplate = GST_STATIC_PAD_TEMPLATE(
      "sink", GST_PAD_SINK, GST_PAD_ALWAYS, GST_STATIC_CAPS(GST_VIDEO_CAPS_MAKE("BGR")));
  static GstStaticPadTemplate srcTemplate = GST_STATIC_PAD_TEMPLATE(
      "src", GST_PAD_SRC, GST_PAD_ALWAYS, GST_STATIC_CAPS(GST_VIDEO_CAPS_MAKE("BGR")));
  gst_element_class_add_static_pad_template(element, &sinkTemplate);
  gst_element_class_add_static_pad_template(element, &srcTemplate);
  gst_element_class_set_static_metadata(element, "Sample Grabber", "Filter/Video",
                                        "Hands every 24-bit frame to the effect engine",
                                        "Video Zarnix");
  G_OBJECT_CLASS(klass)->finalize = grabberFinalize;
  GstBaseTransformClass* base = GST_BASE_TRANSFORM_CLASS(klass);
  base->set_caps = grabberSetCaps;
  base->transform_ip = grabberTransformIp;
  base->transform_ip_on_passthrough = FALSE;
}

void vz_sample_grabber_init(VzSampleGrabber* self) {
  self->state = new GrabberState();
  gst_base_transform_set_in_place(GST_BASE_TRANSFORM(self), TRUE);
  gst_base_transform_set_passthrough(GST_BASE_TRANSFORM(self), FALSE);
}

constexpr const char* kFactoryName = "vzsamplegrabber";

}  // namespace

void registerSampleGrabber() {
  static const bool registered =
      gst_element_register(nullptr, kFactoryName, GST_RANK_NONE, vz_sample_grabber_get_type());
  (void)registered;
}

GstElement* makeSampleGrabber() {
  registerSampleGrabber();
  return gst_element_factory_make(kFactoryName, nullptr);
}

void sampleGrabberSetCallback(GstElement* grabber, SampleGrabberCallback* callback, int method) {
  if (grabber == nullptr) return;
  // Only method 0 (SampleCB) is ever asked for; any other leaves delivery off.
  VZ_SAMPLE_GRABBER(grabber)->state->callback.store(method == 0 ? callback : nullptr,
                                                    std::memory_order_release);
}

void sampleGrabberCloseGate(GstElement* grabber) {
  if (grabber != nullptr) VZ_SAMPLE_GRABBER(grabber)->state->gate.closeAndDrain();
}

bool sampleGrabberPresentInstead(GstElement* grabber, const std::function<void()>& present) {
  if (grabber == nullptr) return false;
  GrabberState* st = VZ_SAMPLE_GRABBER(grabber)->state;
  if (!st->gate.enter()) return false;
  const bool free = !st->presenting.exchange(true, std::memory_order_acquire);
  if (free) {
    present();
    st->presenting.store(false, std::memory_order_release);
  }
  st->gate.leave();
  return free;
}

GrabberSize sampleGrabberConnectedSize(GstElement* grabber) {
  if (grabber == nullptr) return {};
  const GrabberState* st = VZ_SAMPLE_GRABBER(grabber)->state;
  return {st->width.load(std::memory_order_relaxed), st->height.load(std::memory_order_relaxed)};
}

GrabberRate sampleGrabberFrameRate(GstElement* grabber) {
  if (grabber == nullptr) return {};
  const GrabberState* st = VZ_SAMPLE_GRABBER(grabber)->state;
  return {st->rateNumerator.load(std::memory_order_relaxed),
          st->rateDenominator.load(std::memory_order_relaxed)};
}

}  // namespace vz
