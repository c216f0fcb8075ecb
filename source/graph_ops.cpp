// SPDX-License-Identifier: GPL-3.0-or-later
#include "source/graph_ops.h"

#include <gst/base/gsttypefindhelper.h>

#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>

#include "base/terminal_safe.h"
#include "gstref/gst_ref.h"

namespace vz {
namespace {

bool startsWith(const char* s, const char* prefix) {
  return std::strncmp(s, prefix, std::strlen(prefix)) == 0;
}

// Streams that are not video stay undecoded: they are exposed and left unlinked.
gboolean continueOnlyForVideo(GstElement*, GstPad*, GstCaps* caps, gpointer) {
  if (caps == nullptr || gst_caps_get_size(caps) == 0) return TRUE;
  const char* name = gst_structure_get_name(gst_caps_get_structure(caps, 0));
  for (const char* other : {"audio/", "text/", "subpicture/", "closedcaption/", "subtitle/"})
    if (startsWith(name, other)) return FALSE;
  return TRUE;
}

// Streaming thread: the first raw video pad that appears feeds the converter.
void linkVideoPad(GstElement*, GstPad* pad, gpointer data) {
  GstElement* convert = GST_ELEMENT(data);
  GRef<GstCaps> caps(gst_pad_get_current_caps(pad));
  if (!caps) caps.reset(gst_pad_query_caps(pad, nullptr));
  bool video = false;
  if (caps && gst_caps_get_size(caps) > 0)
    video = startsWith(gst_structure_get_name(gst_caps_get_structure(caps, 0)), "video/x-raw");
  if (!video) return;
  const GRef<GstPad> sink(gst_element_get_static_pad(convert, "sink"));
  if (!gst_pad_is_linked(sink)) gst_pad_link(pad, sink);
}

}  // namespace

HResult findUnconnectedPin(GstElement* filter, PinDirection direction, GstPad** pin) {
  if (pin == nullptr) return kEPointer;
  *pin = nullptr;
  if (filter == nullptr) return kEPointer;
  const GstPadDirection wanted = direction == PinDirection::Input ? GST_PAD_SINK : GST_PAD_SRC;
  const GRef<GstIterator> it(gst_element_iterate_pads(filter));
  HResult result = kEFail;
  GValue item = G_VALUE_INIT;
  bool done = false;
  while (!done) {
    switch (gst_iterator_next(it, &item)) {
      case GST_ITERATOR_OK: {
        auto* pad = GST_PAD(g_value_get_object(&item));
        if (GST_PAD_DIRECTION(pad) == wanted && !gst_pad_is_linked(pad)) {
          *pin = GST_PAD(gst_object_ref(pad));
          result = kSOk;
          done = true;
        }
        g_value_reset(&item);
        break;
      }
      case GST_ITERATOR_RESYNC:
        gst_iterator_resync(it);
        break;
      default:
        done = true;
        break;
    }
  }
  g_value_unset(&item);
  return result;
}

HResult connectPinToFilter(GstElement* graph, GstPad* output, GstElement* downstream) {
  if (graph == nullptr || output == nullptr || downstream == nullptr) return kEPointer;
  GRef<GstPad> input;
  const HResult found = findUnconnectedPin(downstream, PinDirection::Input, input.out());
  if (!succeeded(found)) return found;
  return graphConnect(graph, output, input);
}

HResult connectFilterPair(GstElement* graph, GstElement* upstream, GstElement* downstream) {
  if (graph == nullptr || upstream == nullptr || downstream == nullptr) return kEPointer;
  GRef<GstPad> output;
  const HResult found = findUnconnectedPin(upstream, PinDirection::Output, output.out());
  if (!succeeded(found)) return found;
  return connectPinToFilter(graph, output, downstream);
}

HResult graphConnect(GstElement* graph, GstPad* output, GstPad* input) {
  if (graph == nullptr || output == nullptr || input == nullptr) return kEPointer;
  const GRef<GstCaps> offered(gst_pad_query_caps(output, nullptr));
  const GRef<GstCaps> accepted(gst_pad_query_caps(input, nullptr));
  const bool direct = !gst_caps_is_any(offered) && gst_caps_can_intersect(offered, accepted);
  if (direct) return gst_pad_link(output, input) == GST_PAD_LINK_OK ? kSOk : kEFail;
  return graphConnectConverted(graph, output, input);
}

HResult graphConnectConverted(GstElement* graph, GstPad* output, GstPad* input) {
  if (graph == nullptr || output == nullptr || input == nullptr) return kEPointer;
  const GRef<GstElement> decode = sinkRef(gst_element_factory_make("decodebin", nullptr));
  const GRef<GstElement> convert = sinkRef(gst_element_factory_make("videoconvert", nullptr));
  if (!decode || !convert) return kEFail;
  // Two threads halve the conversion's time per frame (so a frame waits less before the
  // effects) at about the same CPU.
  g_object_set(convert, "n-threads", 2u, nullptr);
  gst_bin_add_many(GST_BIN(graph), decode.get(), convert.get(), nullptr);
  g_signal_connect(decode.get(), "autoplug-continue", G_CALLBACK(continueOnlyForVideo), nullptr);
  // The handler holds the converter until the decoder bin goes away.
  g_signal_connect_data(
      decode, "pad-added", G_CALLBACK(linkVideoPad), refOf(convert.get()).release(),
      [](gpointer data, GClosure*) { dropRef(static_cast<GstElement*>(data)); }, GConnectFlags(0));
  const GRef<GstPad> decodeSink(gst_element_get_static_pad(decode, "sink"));
  const GRef<GstPad> convertSrc(gst_element_get_static_pad(convert, "src"));
  const bool linked = gst_pad_link(output, decodeSink) == GST_PAD_LINK_OK &&
                      gst_pad_link(convertSrc, input) == GST_PAD_LINK_OK;
  return linked ? kSOk : kEFail;
}

HResult graphConnectStill(GstElement* graph, GstPad* output, GstPad* input, int fps) {
  if (graph == nullptr || output == nullptr || input == nullptr) return kEPointer;
  const GRef<GstElement> decode = sinkRef(gst_element_factory_make("decodebin", nullptr));
  const GRef<GstElement> freeze = sinkRef(gst_element_factory_make("imagefreeze", nullptr));
  const GRef<GstElement> convert = sinkRef(gst_element_factory_make("videoconvert", nullptr));
  const GRef<GstElement> rate = sinkRef(gst_element_factory_make("capsfilter", nullptr));
  if (!decode || !freeze || !convert || !rate) return kEFail;
  const GRef<GstCaps> caps(
      gst_caps_new_simple("video/x-raw", "framerate", GST_TYPE_FRACTION, fps, 1, nullptr));
  g_object_set(rate, "caps", caps.get(), nullptr);
  gst_bin_add_many(GST_BIN(graph), decode.get(), freeze.get(), convert.get(), rate.get(), nullptr);
  g_signal_connect_data(
      decode, "pad-added", G_CALLBACK(linkVideoPad), refOf(freeze.get()).release(),
      [](gpointer data, GClosure*) { dropRef(static_cast<GstElement*>(data)); }, GConnectFlags(0));
  const GRef<GstPad> decodeSink(gst_element_get_static_pad(decode, "sink"));
  const GRef<GstPad> rateSrc(gst_element_get_static_pad(rate, "src"));
  const bool linked = gst_pad_link(output, decodeSink) == GST_PAD_LINK_OK &&
                      gst_element_link_many(freeze.get(), convert.get(), rate.get(), nullptr) &&
                      gst_pad_link(rateSrc, input) == GST_PAD_LINK_OK;
  return linked ? kSOk : kEFail;
}

bool isStillImage(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return false;
  guint8 head[4096];
  const size_t n = std::fread(head, 1, sizeof head, file);
  std::fclose(file);
  if (n == 0) return false;
  const GRef<GstCaps> caps(gst_type_find_helper_for_data(nullptr, head, n, nullptr));
  if (!caps) return false;
  const char* name = gst_structure_get_name(gst_caps_get_structure(caps, 0));
  return std::strcmp(name, "image/png") == 0 || std::strcmp(name, "image/jpeg") == 0;
}

HResult graphConnectFixed(GstElement* graph, GstPad* output, GstPad* input, GstCaps* caps) {
  if (graph == nullptr || output == nullptr || input == nullptr || caps == nullptr)
    return kEPointer;
  const bool jpeg = gst_structure_has_name(gst_caps_get_structure(caps, 0), "image/jpeg");
  const GRef<GstElement> filter = sinkRef(gst_element_factory_make("capsfilter", nullptr));
  const GRef<GstElement> decode =
      sinkRef(jpeg ? gst_element_factory_make("jpegdec", nullptr) : nullptr);
  const GRef<GstElement> convert = sinkRef(gst_element_factory_make("videoconvert", nullptr));
  if (!filter || !convert || (jpeg && !decode)) return kEFail;
  g_object_set(filter, "caps", caps, nullptr);
  gst_bin_add_many(GST_BIN(graph), filter.get(), convert.get(), nullptr);
  if (decode) gst_bin_add(GST_BIN(graph), decode);
  const GRef<GstPad> filterSink(gst_element_get_static_pad(filter, "sink"));
  const GRef<GstPad> convertSrc(gst_element_get_static_pad(convert, "src"));
  const bool linked =
      gst_pad_link(output, filterSink) == GST_PAD_LINK_OK &&
      (decode ? gst_element_link_many(filter.get(), decode.get(), convert.get(), nullptr)
              : gst_element_link(filter, convert)) &&
      gst_pad_link(convertSrc, input) == GST_PAD_LINK_OK;
  return linked ? kSOk : kEFail;
}

CaptureGraphBuilder::~CaptureGraphBuilder() = default;

HResult CaptureGraphBuilder::setFiltergraph(GstElement* graph) {
  if (graph == nullptr) return kEPointer;
  graph_ = refOf(graph);
  return kSOk;
}

HResult CaptureGraphBuilder::renderStream(GstElement* source, GstElement* intermediate,
                                          GstElement* sink, GstCaps* mode) {
  if (graph_ == nullptr || source == nullptr || intermediate == nullptr || sink == nullptr)
    return kEPointer;
  GRef<GstPad> output;
  GRef<GstPad> input;
  HResult hr = findUnconnectedPin(source, PinDirection::Output, output.out());
  if (succeeded(hr)) hr = findUnconnectedPin(intermediate, PinDirection::Input, input.out());
  if (succeeded(hr))
    hr = mode != nullptr ? graphConnectFixed(graph_, output, input, mode)
                         : graphConnectConverted(graph_, output, input);
  if (!succeeded(hr)) return hr;
  return connectFilterPair(graph_, intermediate, sink);
}

HResult addFilter(GstElement* graph, GstElement* filter, const char* name) {
  if (graph == nullptr || filter == nullptr) return kEPointer;
  gst_object_set_name(GST_OBJECT(filter), name);
  // The bin sinks its own reference; the caller keeps the one it had.
  return gst_bin_add(GST_BIN(graph), filter) ? kSOk : kEFail;
}

HResult removeFilter(GstElement* graph, GstElement* filter) {
  if (graph == nullptr || filter == nullptr) return kEPointer;
  return gst_bin_remove(GST_BIN(graph), filter) ? kSOk : kEFail;
}

GstElement* makeNullRenderer() {
  GstElement* sink = gst_element_factory_make("fakesink", nullptr);
  if (sink != nullptr)
    g_object_set(sink, "sync", TRUE, "enable-last-sample", FALSE, "qos", FALSE, nullptr);
  return sink;
}

void logBusToStderr(GstBus* bus, std::shared_ptr<GraphWatch> watch) {
  // The handler may still run on a streaming thread after the graph lets go of the watch:
  // it holds a reference of its own, dropped when the bus goes.
  auto* held = watch ? new std::shared_ptr<GraphWatch>(std::move(watch)) : nullptr;
  gst_bus_set_sync_handler(
      bus,
      [](GstBus*, GstMessage* message, gpointer data) -> GstBusSyncReply {
        const GRef<GstMessage> dropped(message);  // a dropped message is the handler's to free
        GRef<GError> error;
        GRef<gchar> debug;
        const char* kind = nullptr;
        if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR) {
          gst_message_parse_error(message, error.out(), debug.out());
          kind = "error";
        } else if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_WARNING) {
          gst_message_parse_warning(message, error.out(), debug.out());
          kind = "warning";
        }
        if (kind != nullptr) {
          std::fprintf(stderr, "videozarnix: video %s from %s: %s\n", kind,
                       GST_OBJECT_NAME(message->src),
                       terminalSafe(error ? error->message : "(no text)").c_str());
        }
        if (data != nullptr) (*static_cast<std::shared_ptr<GraphWatch>*>(data))->onMessage(message);
        return GST_BUS_DROP;
      },
      held, [](gpointer data) { delete static_cast<std::shared_ptr<GraphWatch>*>(data); });
}

bool changeStateWithin(GstElement* graph, GstState state, std::chrono::milliseconds timeout,
                       GstStateChangeReturn* result) {
  if (graph == nullptr) return true;
  struct Shared {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    GstStateChangeReturn result = GST_STATE_CHANGE_SUCCESS;
  };
  auto shared = std::make_shared<Shared>();
  // The helper thread holds the graph while it changes it, and lets go there.
  std::thread([held = refOf(graph), state, shared]() mutable {
    const GstStateChangeReturn r = gst_element_set_state(held, state);
    held.reset();
    std::lock_guard lock(shared->mutex);
    shared->result = r;
    shared->finished = true;
    shared->done.notify_all();
  }).detach();
  std::unique_lock lock(shared->mutex);
  const bool finished = shared->done.wait_for(lock, timeout, [&] { return shared->finished; });
  if (result != nullptr) *result = finished ? shared->result : GST_STATE_CHANGE_ASYNC;
  return finished;
}

bool stopGraph(GstElement* graph, std::chrono::milliseconds timeout) {
  return changeStateWithin(graph, GST_STATE_NULL, timeout);
}

}  // namespace vz
