// SPDX-License-Identifier: GPL-3.0-or-later
// What feeding the outputs costs the streaming thread at 1080p (one copy with the row flip
// into a pooled buffer, handed over without waiting), against a plain memcpy of the frame
// in the same run; and per codec at 720p and 1080p, what a 30 fps recording costs (process
// CPU per source frame, beside frames processed in Overflow at 30 fps as the preview does)
// and the frames it drops, with the CPU as a ratio to the same run's H.264 at that size.
// VZ_BENCH_SECONDS sets the recordings' length (60 by default).
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "engine/effect_mode.h"
#include "engine/video_engine.h"
#include "output/output_branches.h"
#include "output/output_stage.h"

namespace {

constexpr int kW = 1920, kH = 1080;

// A picture twice as high as the frame: each frame is a window into it one step further
// down, so the encoders see motion everywhere.
std::vector<uint8_t> testPicture(int w, int h) {
  std::vector<uint8_t> f(static_cast<size_t>(w) * 3 * h * 2);
  for (size_t i = 0; i < f.size(); ++i) f[i] = static_cast<uint8_t>(i * 7 + i / 5760);
  return f;
}

void BM_Memcpy1080p(benchmark::State& state) {
  const std::vector<uint8_t> src = testPicture(kW, kH);
  std::vector<uint8_t> dst(src.size() / 2);
  for (auto _ : state) {
    std::memcpy(dst.data(), src.data(), dst.size());
    benchmark::DoNotOptimize(dst.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(dst.size()));
}
BENCHMARK(BM_Memcpy1080p)->Unit(benchmark::kMicrosecond);

void BM_FlipCopy1080p(benchmark::State& state) {
  const std::vector<uint8_t> src = testPicture(kW, kH);
  std::vector<uint8_t> dst(src.size() / 2);
  for (auto _ : state) {
    vz::copyRowsFlipped(src.data(), dst.data(), kW * 3, kH);
    benchmark::DoNotOptimize(dst.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(dst.size()));
}
BENCHMARK(BM_FlipCopy1080p)->Unit(benchmark::kMicrosecond);

// The whole tap as the streaming thread pays it, with a running stage and one consumer.
void BM_FeedOutputs1080p(benchmark::State& state) {
  const std::vector<uint8_t> src = testPicture(kW, kH);
  vz::OutputStage stage;
  stage.takeFrame(src.data(), kW, kH);
  if (const vz::Status added = stage.addBranch("bench", "fakesink name=sink sync=false"); !added) {
    state.SkipWithError(added.message().c_str());
    return;
  }
  for (auto _ : state) stage.takeFrame(src.data(), kW, kH);
  stage.removeBranch("bench");
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(src.size() / 2));
}
BENCHMARK(BM_FeedOutputs1080p)->Unit(benchmark::kMicrosecond);

double processCpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

std::map<int, double> h264CpuPerFrame;  // by height, from the same run

// One pass: frames at 30 fps through Overflow, then to the outputs, recording one codec.
void BM_Record30fps(benchmark::State& state, const char* codec, int width, int height) {
  const char* env = std::getenv("VZ_BENCH_SECONDS");
  const int seconds = env != nullptr && std::atoi(env) > 0 ? std::atoi(env) : 60;
  const std::vector<uint8_t> picture = testPicture(width, height);
  const size_t frameBytes = picture.size() / 2;
  std::vector<uint8_t> frame(frameBytes);
  auto engine = std::make_unique<vz::VideoEngine>();
  engine->mode = static_cast<uint8_t>(vz::EffectMode::Overflow);
  vz::OutputStage stage;
  stage.setSourceRate(30, 1);
  vz::BranchReport report;
  int late = 0;
  double cpu = 0;
  const std::string path = std::string("/tmp/vz-bench-record-") + codec + ".mkv";
  for (auto _ : state) {
    stage.takeFrame(picture.data(), width, height);
    const vz::Result<vz::RecordFormat> f = vz::resolveRecordFormat(path, codec);
    if (!f || !vz::startRecording(stage, *f)) {
      state.SkipWithError("cannot record");
      return;
    }
    const double cpuBefore = processCpuSeconds();
    using Clock = std::chrono::steady_clock;
    auto next = Clock::now();
    for (int i = 0; i < seconds * 30; ++i) {
      const size_t row = static_cast<size_t>(i * 4 % height) * width * 3;
      std::memcpy(frame.data(), picture.data() + row, frameBytes);
      engine->processFrame(frame.data(), width, height);
      stage.takeFrame(frame.data(), width, height);
      next += std::chrono::microseconds(33333);
      if (Clock::now() > next) ++late;
      std::this_thread::sleep_until(next);
    }
    report = stage.removeBranch(vz::kRecordBranch);
    cpu = processCpuSeconds() - cpuBefore;
  }
  std::remove(path.c_str());
  // Per frame of the source (30 a second), so that a codec that drops is not flattered.
  const double perFrame = cpu * 1000 / (seconds * 30.0);
  if (std::strcmp(codec, "h264") == 0) h264CpuPerFrame[height] = perFrame;
  state.counters["cpu_ms_per_frame"] = perFrame;
  if (h264CpuPerFrame.count(height) != 0 && h264CpuPerFrame[height] > 0)
    state.counters["cpu_vs_h264"] = perFrame / h264CpuPerFrame[height];
  state.counters["written"] = static_cast<double>(report.framesWritten);
  state.counters["dropped"] = static_cast<double>(report.framesDropped);
  state.counters["dropped_behind"] = static_cast<double>(report.droppedBehind);
  state.counters["repeated"] = static_cast<double>(report.framesRepeated);
  state.counters["late_source_frames"] = late;
}

// H.264 first at each size: the others' ratios need it.
void registerRecordings() {
  for (const auto& [w, h] : {std::pair{1280, 720}, std::pair{1920, 1080}})
    for (const char* codec : {"h264", "vp8", "vp9", "ffv1"})
      benchmark::RegisterBenchmark(
          ("BM_Record30fps/" + std::string(codec) + "/" + std::to_string(h) + "p").c_str(),
          [codec, w = w, h = h](benchmark::State& s) { BM_Record30fps(s, codec, w, h); })
          ->Iterations(1)
          ->Unit(benchmark::kSecond);
}

}  // namespace

int main(int argc, char** argv) {
  registerRecordings();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
