// SPDX-License-Identifier: GPL-3.0-or-later
// The zarnix element's cost per 1080p frame in `videotestsrc ! zarnix ! fakesink`, against
// the same pipeline without it and against the engine's own frame time for the same look,
// all in one run. Fixed iteration counts: Source costs next to nothing, and timing it to a
// minimum would repeat the untimed frame refill without end. Also the two ways of handling padded
// rows (widths not a multiple of 4).
#include <benchmark/benchmark.h>
#include <gst/gst.h>

#include <cstring>
#include <ctime>
#include <random>
#include <string>
#include <vector>

#include "bench/bench_look.h"
#include "engine/effect_mode.h"
#include "engine/setting_names.h"
#include "engine/video_engine.h"
#include "gst/frame_rows.h"
#include "gst/zarnix_element.h"

namespace {

constexpr int kWidth = 1920, kHeight = 1080, kFrames = 60;

// The engine benchmark's look, as properties and as fields.
const char* const kLook =
    "gain-red=20 gain-green=12 gain-blue=30 output-red=40 output-green=40 output-blue=40 "
    "color=70 floor=10 quantize-red=1 quantize-green=2 quantize-blue=0 tint-red=100 "
    "tint-green=300 tint-blue=600 invert-red=1 invert-green=0 invert-blue=1 lowpass-red=8 "
    "lowpass-green=8 lowpass-blue=8 lutmask-red=15";

vz::VideoEngine& engineFor(int mode) {
  static vz::VideoEngine e;
  e.mode = static_cast<uint8_t>(mode);
  vz::bench::setBenchLook(e);
  return e;
}

std::vector<uint8_t> randomFrame(size_t bytes) {
  std::vector<uint8_t> f(bytes);
  std::mt19937 gen(1234);
  for (auto& b : f) b = static_cast<uint8_t>(gen());
  return f;
}

double processCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

// Per frame: the processor time of all threads over a run of kFrames through the pipeline
// (the baseline pipeline carries the same source and sink, so differences are the
// element's). Processor time, not wall time, so that other work on the machine does not
// count; compare it with the engine benchmarks' CPU column.
void runPipeline(benchmark::State& state, const std::string& element) {
  const std::string description =
      "videotestsrc pattern=black num-buffers=" + std::to_string(kFrames) +
      " ! video/x-raw,format=BGR,width=" + std::to_string(kWidth) +
      ",height=" + std::to_string(kHeight) + " ! " + element + (element.empty() ? "" : " ! ") +
      "fakesink";
  for (auto _ : state) {
    GError* error = nullptr;
    GstElement* pipeline = gst_parse_launch(description.c_str(), &error);
    if (pipeline == nullptr) {
      state.SkipWithError(error ? error->message : "no pipeline");
      g_clear_error(&error);
      return;
    }
    const double start = processCpuSeconds();
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    GstBus* bus = gst_element_get_bus(pipeline);
    GstMessage* end = gst_bus_timed_pop_filtered(
        bus, GST_CLOCK_TIME_NONE, static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
    const double took = processCpuSeconds() - start;
    if (GST_MESSAGE_TYPE(end) == GST_MESSAGE_ERROR) state.SkipWithError("pipeline error");
    gst_message_unref(end);
    gst_object_unref(bus);
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);
    state.SetIterationTime(took / kFrames);
  }
}

void BM_PipelineBaseline(benchmark::State& state) {
  runPipeline(state, "");
}
BENCHMARK(BM_PipelineBaseline)->Iterations(8)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_Pipeline(benchmark::State& state) {
  const int mode = static_cast<int>(state.range(0));
  state.SetLabel(vz::kModeNames[mode]);
  runPipeline(state, std::string("zarnix mode=") + vz::kModeNames[mode] + " " + kLook);
}
BENCHMARK(BM_Pipeline)
    ->DenseRange(0, vz::kEffectModeCount - 1)
    ->Iterations(8)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// The engine benchmark's measurement for the same look, in this run.
void BM_Engine(benchmark::State& state) {
  const int mode = static_cast<int>(state.range(0));
  state.SetLabel(vz::kModeNames[mode]);
  const std::vector<uint8_t> original = randomFrame(size_t{kWidth} * kHeight * 3);
  std::vector<uint8_t> frame = original;
  const vz::VideoEngine& engine = engineFor(mode);
  for (auto _ : state) {
    engine.processFrame(frame.data(), kWidth, kHeight);
    benchmark::DoNotOptimize(frame.data());
    state.PauseTiming();
    std::memcpy(frame.data(), original.data(), frame.size());
    state.ResumeTiming();
  }
}
BENCHMARK(BM_Engine)
    ->DenseRange(0, vz::kEffectModeCount - 1)
    ->Iterations(200)
    ->Unit(benchmark::kMillisecond);

// Padded rows (1918 pixels: 5754 bytes, padded to 5756): the element's way (row-local looks
// one row at a time in place, the others repacked), against repacking every look.
void runPadded(benchmark::State& state, bool alwaysRepack) {
  const int mode = static_cast<int>(state.range(0));
  state.SetLabel(vz::kModeNames[mode]);
  constexpr int w = kWidth - 2;
  constexpr std::ptrdiff_t rowBytes = w * 3, stride = (rowBytes + 3) & ~3;
  const std::vector<uint8_t> original = randomFrame(static_cast<size_t>(stride) * kHeight);
  std::vector<uint8_t> frame = original, work(static_cast<size_t>(rowBytes) * kHeight);
  vz::VideoEngine& engine = engineFor(mode);
  for (auto _ : state) {
    if (alwaysRepack) {
      for (int y = 0; y < kHeight; ++y)
        std::memcpy(work.data() + (kHeight - 1 - y) * rowBytes, frame.data() + y * stride,
                    rowBytes);
      engine.processFrame(work.data(), w, kHeight);
      for (int y = 0; y < kHeight; ++y)
        std::memcpy(frame.data() + y * stride, work.data() + (kHeight - 1 - y) * rowBytes,
                    rowBytes);
    } else {
      vz::processTopDownFrame(engine, frame.data(), w, kHeight, stride, work);
    }
    benchmark::DoNotOptimize(frame.data());
    state.PauseTiming();
    std::memcpy(frame.data(), original.data(), frame.size());
    state.ResumeTiming();
  }
}

void BM_PaddedElement(benchmark::State& state) {
  runPadded(state, false);
}
void BM_PaddedRepackAll(benchmark::State& state) {
  runPadded(state, true);
}
BENCHMARK(BM_PaddedElement)
    ->DenseRange(0, vz::kEffectModeCount - 1)
    ->Iterations(200)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PaddedRepackAll)
    ->DenseRange(0, vz::kEffectModeCount - 1)
    ->Iterations(200)
    ->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  gst_init(&argc, &argv);
  vz::registerZarnixElement(nullptr);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
