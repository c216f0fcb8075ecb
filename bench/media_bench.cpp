// Frames per second of the file graph with the sink unsynchronised, beside the same
// decoding and conversion with no grabber, measured in the same run.
#include <benchmark/benchmark.h>
#include <gst/gst.h>

#include <atomic>
#include <string>

#include "engine/effect_mode.h"
#include "engine/frame_target.h"
#include "engine/video_engine.h"
#include "source/capture_devices.h"
#include "source/media_graph.h"
#include "ui/message_boxes.h"

namespace {

struct NoBoxes final : vz::MessageBoxes {
  int show(const std::string&, const std::string&, unsigned) override { return vz::kIdNo; }
};
struct NoDevices final : vz::DeviceList {
  std::vector<std::unique_ptr<vz::CaptureDevice>> videoInputDevices() override { return {}; }
};
struct CountingTarget final : vz::FrameTarget {
  std::atomic<int> frames{0};
  void receiveFrame(const uint8_t*, int, int) override { frames.fetch_add(1); }
};

std::string clip(const char* name) {
  return std::string(VZ_BENCH_CLIP_DIR) + "/" + name;
}

// Blocks until the sink pad sees end of stream.
struct EosWatch {
  std::atomic<bool> done{false};
  void attach(GstElement* sink) {
    GstPad* pad = gst_element_get_static_pad(sink, "sink");
    gst_pad_add_probe(
        pad, GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM,
        [](GstPad*, GstPadProbeInfo* info, gpointer data) {
          if (GST_EVENT_TYPE(GST_PAD_PROBE_INFO_EVENT(info)) == GST_EVENT_EOS) {
            static_cast<EosWatch*>(data)->done = true;
            static_cast<EosWatch*>(data)->done.notify_all();
          }
          return GST_PAD_PROBE_OK;
        },
        this, nullptr);
    gst_object_unref(pad);
  }
  void wait() { done.wait(false); }
};

void BM_DecodeOnly(benchmark::State& state, const char* name) {
  if (!gst_is_initialized()) gst_init(nullptr, nullptr);
  int64_t frames = 0;
  for (auto _ : state) {
    const std::string launch = "filesrc location=\"" + clip(name) +
                               "\" ! decodebin ! videoconvert ! video/x-raw,format=BGR ! "
                               "fakesink name=sink sync=false signal-handoffs=false";
    GstElement* pipeline = gst_parse_launch(launch.c_str(), nullptr);
    GstElement* sink = gst_bin_get_by_name(GST_BIN(pipeline), "sink");
    EosWatch eos;
    eos.attach(sink);
    std::atomic<int> count{0};
    GstPad* pad = gst_element_get_static_pad(sink, "sink");
    gst_pad_add_probe(
        pad, GST_PAD_PROBE_TYPE_BUFFER,
        [](GstPad*, GstPadProbeInfo*, gpointer data) {
          static_cast<std::atomic<int>*>(data)->fetch_add(1);
          return GST_PAD_PROBE_OK;
        },
        &count, nullptr);
    gst_object_unref(pad);
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    eos.wait();
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(sink);
    gst_object_unref(pipeline);
    frames += count.load();
  }
  state.counters["fps"] =
      benchmark::Counter(static_cast<double>(frames), benchmark::Counter::kIsRate);
}

void BM_FileGraph(benchmark::State& state, const char* name, vz::EffectMode mode) {
  static vz::VideoEngine engine;
  engine.mode = static_cast<uint8_t>(mode);
  // The engine benchmark's Overflow settings, low-pass divisors 8.
  engine.gainRed = 20, engine.gainGreen = 12, engine.gainBlue = 30;
  engine.outputRed = engine.outputGreen = engine.outputBlue = 40;
  engine.colorAmount = 70;
  engine.floor = 10;
  engine.quantizeRed = 1, engine.quantizeGreen = 2, engine.quantizeBlue = 0;
  engine.tintRed = 100, engine.tintGreen = 300, engine.tintBlue = 600;
  engine.invertRed = 1, engine.invertGreen = 0, engine.invertBlue = 1;
  engine.lowPassRed = engine.lowPassGreen = engine.lowPassBlue = 8;
  engine.fileName = clip(name);

  NoBoxes boxes;
  NoDevices devices;
  vz::MediaGraph graph(engine, boxes, devices);
  CountingTarget target;
  for (auto _ : state) {
    graph.stopAndRelease();
    engine.sourceIsFile = 1;
    graph.startSource(&target);
    g_object_set(graph.nullRenderer, "sync", FALSE, nullptr);
    EosWatch eos;
    eos.attach(graph.nullRenderer);
    graph.run();
    eos.wait();
    graph.stopAndRelease();
  }
  state.counters["fps"] =
      benchmark::Counter(static_cast<double>(target.frames.load()), benchmark::Counter::kIsRate);
}

constexpr int kRuns = 3;
BENCHMARK_CAPTURE(BM_DecodeOnly, sd_mpeg1_720x480, "sd_mpeg1.mpg")
    ->Iterations(kRuns)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_FileGraph, sd_mpeg1_720x480_source, "sd_mpeg1.mpg", vz::EffectMode::Source)
    ->Iterations(kRuns)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_FileGraph, sd_mpeg1_720x480_overflow, "sd_mpeg1.mpg", vz::EffectMode::Overflow)
    ->Iterations(kRuns)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_DecodeOnly, hd_mpeg2_1920x1080, "hd_mpeg2.mpg")
    ->Iterations(kRuns)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_FileGraph, hd_mpeg2_1920x1080_source, "hd_mpeg2.mpg", vz::EffectMode::Source)
    ->Iterations(kRuns)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_FileGraph, hd_mpeg2_1920x1080_overflow, "hd_mpeg2.mpg",
                  vz::EffectMode::Overflow)
    ->Iterations(kRuns)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
