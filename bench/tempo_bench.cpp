// SPDX-License-Identifier: GPL-3.0-or-later
// The beat in the program: a sequence of two looks at 120 BPM, frames at 30 a second from a
// thread of their own as a clip's streaming thread gives them, the recalls made by the
// program's own tempo control (timer, recall gate, recallPreset). Reports the delay from each
// beat to the first frame processed with its look, in frame intervals, and what the clock
// costs: the process's CPU a second with the tempo running against the same loop with it off,
// and the streaming thread's per-frame beat check against processing one 720x480 frame.
#include <sys/resource.h>
#include <time.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "app/effect_dialog.h"
#include "app/tempo_control.h"
#include "engine/shared_value.h"
#include "presets/preset_slot.h"
#include "tests/dialog_fakes.h"

namespace vz {
namespace {

using Clock = std::chrono::steady_clock;
constexpr std::int64_t kFrameNs = 1'000'000'000 / 30;

double cpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return t.tv_sec + t.tv_nsec / 1e9;
}

void runLoopFor(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

struct Frame {
  std::int64_t ns;
  int mode;
};

int run(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const int seconds = argc > 1 ? std::atoi(argv[1]) : 20;
  test::ScriptedBoxes boxes;
  test::ScriptedFiles files;
  EffectDialog dialog([](VideoEngine& e) { return std::make_unique<test::RecordingGraph>(e); },
                      boxes, files);
  dialog.OnInitDialog();
  dialog.show();
  VideoEngine& engine = dialog.engine;
  engine.mode = static_cast<uint8_t>(EffectMode::Negative);
  storeSlot(engine, 'F' - 'A');
  engine.mode = static_cast<uint8_t>(EffectMode::Overflow);
  storeSlot(engine, 'G' - 'A');
  engine.mode = 0;

  // Frames at 29.97 a second (so the beats meet every phase of the frames), on their own
  // deadlines, each noting the look it is processed with. They run throughout, so the CPU of
  // the program with the tempo off is the baseline of the same run.
  std::atomic<bool> stop{false}, logging{false};
  std::vector<Frame> frames;
  frames.reserve(static_cast<size_t>(seconds) * 40);
  std::thread stream([&] {
    auto next = Clock::now();
    while (!stop.load()) {
      next += std::chrono::nanoseconds(kFrameNs * 1001 / 1000);
      std::this_thread::sleep_until(next);
      const std::int64_t now = steadyNowNs();
      engine.beforeFrame(now);
      if (logging.load()) frames.push_back({now, loadRelaxed(engine.mode)});
    }
  });
  TempoOptions off;
  auto tempo = std::make_unique<TempoControl>(dialog, off);
  runLoopFor(500);
  double c0 = cpuSeconds();
  runLoopFor(5000);
  const double cpuOff = (cpuSeconds() - c0) / 5;
  TempoOptions on;
  on.tempo = {TempoSourceKind::Fixed, 120.0};
  on.sequence = "FG";
  on.sequenceBeats = 1;
  tempo.reset();
  tempo = std::make_unique<TempoControl>(dialog, on);
  logging = true;
  c0 = cpuSeconds();
  runLoopFor(seconds * 1000);
  const double cpuOn = (cpuSeconds() - c0) / seconds;
  stop = true;
  stream.join();

  // Beat k falls at the clock's time of beat k; the look changes there.
  const TempoState s = tempo->clock().read();
  std::vector<double> delays;  // frame intervals
  for (size_t i = 1; i < frames.size(); ++i) {
    if (frames[i].mode == frames[i - 1].mode) continue;
    const double beat = std::round(beatAt(s, frames[i].ns));
    const std::int64_t beatNs = timeOfBeat(s, beat);
    delays.push_back(static_cast<double>(frames[i].ns - beatNs) / kFrameNs);
  }
  std::sort(delays.begin(), delays.end());
  auto pct = [&](double p) {
    return delays.empty()
               ? 0.0
               : delays[std::min(delays.size() - 1, static_cast<size_t>(p * delays.size()))];
  };
  const auto late = std::count_if(delays.begin(), delays.end(), [](double d) { return d > 1.0; });
  std::printf("beat-to-frame delay over %zu beats (frame intervals of 33.3 ms):\n", delays.size());
  std::printf("  min %.3f  median %.3f  p95 %.3f  max %.3f  over one interval: %ld\n", pct(0),
              pct(0.5), pct(0.95), delays.empty() ? 0.0 : delays.back(), static_cast<long>(late));

  // The streaming thread's share: the per-frame beat check against one frame's processing.
  std::vector<uint8_t> frame(720 * 480 * 3, 77);
  engine.mode = static_cast<uint8_t>(EffectMode::Overflow);
  const int reps = 2000;
  auto t0 = Clock::now();
  for (int i = 0; i < reps; ++i) engine.processFrame(frame.data(), 720, 480);
  const double processNs =
      std::chrono::duration<double, std::nano>(Clock::now() - t0).count() / reps;
  const int checks = 1'000'000;
  t0 = Clock::now();
  std::int64_t sink = 0;
  for (int i = 0; i < checks; ++i)
    sink += engine.beatSteps.stepsBeforeFrame(steadyNowNs() + i * kFrameNs);
  const double checkNs =
      std::chrono::duration<double, std::nano>(Clock::now() - t0).count() / checks;
  std::printf(
      "CPU (s a second) with frames flowing: tempo off %.5f, on with the sequence %.5f "
      "(ratio %.2f; the tempo's share %.3f%% of a core)\n",
      cpuOff, cpuOn, cpuOff > 0 ? cpuOn / cpuOff : 0.0, (cpuOn - cpuOff) * 100);
  std::printf("per-frame beat check %.0f ns = %.5f of processing one 720x480 frame (%.0f us)%s\n",
              checkNs, checkNs / processNs, processNs / 1000, sink == -42 ? " " : "");
  tempo.reset();
  return 0;
}

}  // namespace
}  // namespace vz

int main(int argc, char** argv) {
  return vz::run(argc, argv);
}
