// SPDX-License-Identifier: GPL-3.0-or-later
// Frames per second of the file graph with the sink unsynchronised, beside the same
// decoding and conversion with no grabber, measured in the same run; and the longest gap
// between frames across the point where a clip loops, against the run's median gap.
#include <benchmark/benchmark.h>
#include <gst/gst.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

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
  graph.setLoopClips(false);  // the run ends at the clip's end
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

// When each frame arrived, and whether it is the first of a pass after a loop point (the
// grabber sees a new segment before it). All but the reads after the stop happen on the
// streaming thread.
struct ArrivalTarget final : vz::FrameTarget {
  struct Arrival {
    std::chrono::steady_clock::time_point at;
    bool afterLoop;
  };
  ArrivalTarget() { arrivals.reserve(4096); }
  void attach(GstElement* grabber) {
    GstPad* pad = gst_element_get_static_pad(grabber, "sink");
    gst_pad_add_probe(
        pad, GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM,
        [](GstPad*, GstPadProbeInfo* info, gpointer data) {
          auto* self = static_cast<ArrivalTarget*>(data);
          if (GST_EVENT_TYPE(GST_PAD_PROBE_INFO_EVENT(info)) == GST_EVENT_SEGMENT)
            self->newPass = !self->arrivals.empty();
          return GST_PAD_PROBE_OK;
        },
        this, nullptr);
    gst_object_unref(pad);
  }
  void receiveFrame(const uint8_t*, int, int) override {
    if (arrivals.size() < arrivals.capacity())
      arrivals.push_back({std::chrono::steady_clock::now(), newPass});
    newPass = false;
  }
  std::vector<Arrival> arrivals;
  bool newPass = false;
};

// Plays a one-second clip in time with the clock through three loop points. Reports, in
// frame intervals of the clip, the longest gap between two frames across a loop point and
// the median gap of the same run (the goal: a loop gap of at most 1.5), and the longest gap
// elsewhere, which shows how much of it the machine's load alone explains.
void BM_LoopGap(benchmark::State& state, const char* name) {
  static vz::VideoEngine engine;
  engine.mode = static_cast<uint8_t>(vz::EffectMode::Source);
  engine.fileName = clip(name);
  NoBoxes boxes;
  NoDevices devices;
  vz::MediaGraph graph(engine, boxes, devices);
  double worstLoop = 0, worstElsewhere = 0, median = 0;
  for (auto _ : state) {
    ArrivalTarget target;
    graph.stopAndRelease();
    engine.sourceIsFile = 1;
    graph.startSource(&target);
    target.attach(graph.grabberFilter);
    graph.run();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (graph.clipLoops() < 4 && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const int loops = graph.clipLoops();
    const vz::GrabberRate rate = graph.frameRate();
    graph.stopAndRelease();
    const double interval =
        rate.numerator > 0 ? double(rate.denominator) / rate.numerator : 1.0 / 30;
    std::vector<double> gaps;
    const auto& a = target.arrivals;
    for (size_t i = 1; i < a.size(); ++i) {
      const double gap = std::chrono::duration<double>(a[i].at - a[i - 1].at).count() / interval;
      gaps.push_back(gap);
      double& worst = a[i].afterLoop ? worstLoop : worstElsewhere;
      worst = std::max(worst, gap);
    }
    if (gaps.empty() || loops < 4) {
      state.SkipWithError("the clip did not loop");
      break;
    }
    std::nth_element(gaps.begin(), gaps.begin() + gaps.size() / 2, gaps.end());
    median = gaps[gaps.size() / 2];
  }
  state.counters["loop_gap_intervals"] = worstLoop;
  state.counters["median_gap_intervals"] = median;
  state.counters["other_gap_max_intervals"] = worstElsewhere;
  state.counters["loop_vs_median"] = median > 0 ? worstLoop / median : 0;
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

BENCHMARK_CAPTURE(BM_LoopGap, mpeg2_mpg, "loop.mpg")->Iterations(1)->UseRealTime();
BENCHMARK_CAPTURE(BM_LoopGap, h264_mp4, "loop.mp4")->Iterations(1)->UseRealTime();
BENCHMARK_CAPTURE(BM_LoopGap, vp9_mkv, "loop.mkv")->Iterations(1)->UseRealTime();
BENCHMARK_CAPTURE(BM_LoopGap, vp8_webm, "loop.webm")->Iterations(1)->UseRealTime();
BENCHMARK_CAPTURE(BM_LoopGap, prores_mov, "loop.mov")->Iterations(1)->UseRealTime();
BENCHMARK_CAPTURE(BM_LoopGap, mjpeg_avi, "loop.avi")->Iterations(1)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
