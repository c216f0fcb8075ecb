// SPDX-License-Identifier: GPL-3.0-or-later
// The cost of a frame of a fade beside the two looks run alone in the same run: BM_Fade on
// one thread (the split off) and with the worker (the looks side by side), BM_TwoLooks the
// old look then the new one on one thread, BM_FadeAboveLooks all three alternating on one
// thread, BM_Blend the blend alone. Items are pixels.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <ctime>
#include <iterator>
#include <memory>
#include <random>
#include <vector>

#include "bench/bench_look.h"
#include "engine/blend.h"
#include "engine/effect_mode.h"
#include "engine/look_fade.h"
#include "engine/split_frame.h"
#include "engine/video_engine.h"

namespace {

using vz::EffectMode;

struct Pair {
  EffectMode from, to;
};
// The last: two Overflow looks of other colours with one filter, as in the live check.
constexpr Pair kPairs[] = {{EffectMode::Overflow, EffectMode::Lut2},
                           {EffectMode::Lut, EffectMode::Emboss},
                           {EffectMode::Source, EffectMode::Overflow},
                           {EffectMode::Overflow, EffectMode::Overflow}};

std::vector<uint8_t> randomFrame(int w, int h) {
  std::vector<uint8_t> f(static_cast<size_t>(w) * h * 3);
  std::mt19937 gen(1234);
  for (auto& b : f) b = static_cast<uint8_t>(gen());
  return f;
}

std::unique_ptr<vz::VideoEngine> look(EffectMode mode, bool fadingIn = false) {
  auto e = std::make_unique<vz::VideoEngine>();
  vz::bench::setBenchLook(*e);
  e->mode = static_cast<uint8_t>(mode);
  if (fadingIn) e->gainRed = 30, e->tintRed = 500;  // other colours, the same filter
  return e;
}

// Args: pair, width, height, and for BM_Fade whether the worker may take a look.
void BM_Fade(benchmark::State& state) {
  const Pair p = kPairs[state.range(0)];
  const int w = static_cast<int>(state.range(1)), h = static_cast<int>(state.range(2));
  vz::setFrameSplit(state.range(3) != 0 ? vz::FrameSplit::Auto : vz::FrameSplit::Never);
  const auto from = look(p.from), to = look(p.to, true);
  const std::vector<uint8_t> original = randomFrame(w, h);
  std::vector<uint8_t> frame = original;
  vz::LookFade fade;
  for (auto _ : state) {
    state.PauseTiming();
    fade.startFrom(*from, 30);
    std::memcpy(frame.data(), original.data(), frame.size());
    state.ResumeTiming();
    fade.processFrame(*to, frame.data(), w, h);
    benchmark::DoNotOptimize(frame.data());
  }
  state.SetItemsProcessed(state.iterations() * w * h);
  vz::setFrameSplit(vz::FrameSplit::Auto);
}

void BM_TwoLooks(benchmark::State& state) {
  const Pair p = kPairs[state.range(0)];
  const int w = static_cast<int>(state.range(1)), h = static_cast<int>(state.range(2));
  vz::setFrameSplit(vz::FrameSplit::Never);
  const auto from = look(p.from), to = look(p.to, true);
  const std::vector<uint8_t> original = randomFrame(w, h);
  std::vector<uint8_t> a = original, b = original;
  for (auto _ : state) {
    state.PauseTiming();
    std::memcpy(a.data(), original.data(), a.size());
    std::memcpy(b.data(), original.data(), b.size());
    state.ResumeTiming();
    from->processFrame(a.data(), w, h);
    to->processFrame(b.data(), w, h);
    benchmark::DoNotOptimize(a.data());
    benchmark::DoNotOptimize(b.data());
  }
  state.SetItemsProcessed(state.iterations() * w * h);
  vz::setFrameSplit(vz::FrameSplit::Auto);
}

double threadMs() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return t.tv_sec * 1e3 + t.tv_nsec * 1e-6;
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

// On one thread, each iteration times look A alone, look B alone and the fade between them
// on the same frame, alternating, in this thread's CPU time (other processes on a shared
// machine count less). Counters, in ms: the medians, and what the fade costs above the two
// looks (the median of each iteration's fade - A - B, and the same from the minima).
void BM_FadeAboveLooks(benchmark::State& state) {
  const Pair p = kPairs[state.range(0)];
  const int w = static_cast<int>(state.range(1)), h = static_cast<int>(state.range(2));
  vz::setFrameSplit(vz::FrameSplit::Never);
  const auto from = look(p.from), to = look(p.to, true);
  const auto alone = look(p.to, true);
  const std::vector<uint8_t> original = randomFrame(w, h);
  std::vector<uint8_t> frame = original;
  vz::LookFade fade;
  std::vector<double> a, b, f, above;
  for (auto _ : state) {
    std::memcpy(frame.data(), original.data(), frame.size());
    double t = threadMs();
    from->processFrame(frame.data(), w, h);
    a.push_back(threadMs() - t);
    std::memcpy(frame.data(), original.data(), frame.size());
    t = threadMs();
    alone->processFrame(frame.data(), w, h);
    b.push_back(threadMs() - t);
    fade.startFrom(*from, 30);
    std::memcpy(frame.data(), original.data(), frame.size());
    t = threadMs();
    fade.processFrame(*to, frame.data(), w, h);
    f.push_back(threadMs() - t);
    above.push_back(f.back() - a.back() - b.back());
    benchmark::DoNotOptimize(frame.data());
  }
  state.counters["A_ms"] = median(a);
  state.counters["B_ms"] = median(b);
  state.counters["fade_ms"] = median(f);
  state.counters["above_ms"] = median(above);
  state.counters["above_min_ms"] = *std::min_element(f.begin(), f.end()) -
                                   *std::min_element(a.begin(), a.end()) -
                                   *std::min_element(b.begin(), b.end());
  vz::setFrameSplit(vz::FrameSplit::Auto);
}

void BM_Blend(benchmark::State& state) {
  const int w = static_cast<int>(state.range(1)), h = static_cast<int>(state.range(2));
  const std::vector<uint8_t> old = randomFrame(w, h);
  std::vector<uint8_t> into = randomFrame(w, h);
  const std::ptrdiff_t rowBytes = static_cast<std::ptrdiff_t>(w) * 3;
  int j = 0;
  for (auto _ : state) {
    vz::blendFade(old.data(), rowBytes, into.data(), rowBytes, rowBytes, h, j, 30);
    j = (j + 1) % 30;
    benchmark::DoNotOptimize(into.data());
  }
  state.SetItemsProcessed(state.iterations() * w * h);
}

void pairsAndSizes(benchmark::internal::Benchmark* b, bool withWorker) {
  for (int pair = 0; pair < static_cast<int>(std::size(kPairs)); ++pair)
    for (auto [w, h] : {std::pair{1920, 1080}, std::pair{3840, 2160}})
      for (int worker : withWorker ? std::vector<int>{0, 1} : std::vector<int>{0})
        b->Args({pair, w, h, worker});
  b->Unit(benchmark::kMillisecond)->UseRealTime();
}

BENCHMARK(BM_TwoLooks)->Apply([](auto* b) { pairsAndSizes(b, false); });
BENCHMARK(BM_Fade)->Apply([](auto* b) { pairsAndSizes(b, true); });
BENCHMARK(BM_FadeAboveLooks)->Apply([](auto* b) { pairsAndSizes(b, false); }) -> Iterations(60);
BENCHMARK(BM_Blend)
    ->Args({0, 1920, 1080})
    ->Args({0, 3840, 2160})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
