// SPDX-License-Identifier: GPL-3.0-or-later
// CPU cost of one preview paint, from the mailbox's frame to pixels in the window's backing
// store, on the offscreen platform: process CPU time over all threads, since Qt may convert
// images on pool threads. BM_PresentFirst is the paint as it first shipped (a 24-bit canvas
// drawn with drawImage), measured in the same run as the baseline.
// BM_Stretch is one frame stretched into a 32-bit picture the way the preview paints it
// (streamed past the caches only from a 4K picture's size), BM_StretchStreamed the way the
// output window does (streamed at every size), BM_StretchCached with ordinary stores at
// every size as every picture was painted before: their ratios are what streaming saves.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QWidget>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <random>
#include <vector>

#include "app/preview_widget.h"
#include "engine/frame_mailbox.h"
#include "engine/stretch.h"
#include "tests/reference_stretch.h"

namespace {

class FirstPreview final : public QWidget {
 public:
  vz::FrameMailbox mailbox{[] {}};

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    const vz::FrameMailbox::View frame = mailbox.latest();
    if (canvas_.size() != size()) canvas_ = QImage(size(), QImage::Format_BGR888);
    vz::test::referenceStretch(frame.pixels, frame.width, frame.height, canvas_.bits(),
                               canvas_.width(), canvas_.height(), canvas_.bytesPerLine());
    painter.drawImage(0, 0, canvas_);
  }

 private:
  QImage canvas_;
};

std::vector<uint8_t> randomFrame(int w, int h) {
  std::vector<uint8_t> f(static_cast<size_t>(w) * h * 3);
  std::mt19937 gen(99);
  for (auto& b : f) b = static_cast<uint8_t>(gen());
  return f;
}

template <typename Widget>
void present(benchmark::State& state, Widget& widget, vz::FrameTarget& target) {
  const int srcW = static_cast<int>(state.range(0)), srcH = static_cast<int>(state.range(1));
  const int dstW = static_cast<int>(state.range(2)), dstH = static_cast<int>(state.range(3));
  widget.setAttribute(Qt::WA_DontShowOnScreen, false);
  widget.setFixedSize(dstW, dstH);
  widget.show();
  QApplication::processEvents();
  const std::vector<uint8_t> frame = randomFrame(srcW, srcH);
  target.receiveFrame(frame.data(), srcW, srcH);
  if (widget.size() != QSize(dstW, dstH)) state.SkipWithError("window size refused");
  for (auto _ : state) widget.repaint();
  state.SetItemsProcessed(state.iterations() * dstW * dstH);
}

void BM_Present(benchmark::State& state) {
  vz::PreviewWidget widget(nullptr);
  present(state, widget, widget.frameTarget());
}

void BM_PresentFirst(benchmark::State& state) {
  FirstPreview widget;
  present(state, widget, widget.mailbox);
}

void sizes(benchmark::internal::Benchmark* b) {
  b->Args({1920, 1080, 3840, 2160})
      ->Args({1920, 1080, 1920, 1080})
      ->Args({720, 480, 720, 480})
      ->Args({1920, 1080, 720, 480})
      ->MeasureProcessCPUTime()
      ->Unit(benchmark::kMillisecond);
}
void stretch(benchmark::State& state, vz::NearestStretch& s) {
  const int srcW = static_cast<int>(state.range(0)), srcH = static_cast<int>(state.range(1));
  const int dstW = static_cast<int>(state.range(2)), dstH = static_cast<int>(state.range(3));
  const std::vector<uint8_t> frame = randomFrame(srcW, srcH);
  QImage picture(dstW, dstH, QImage::Format_RGB32);  // laid out as a backing store is
  for (auto _ : state) {
    s.draw(frame.data(), srcW, srcH, dstW, dstH, {0, 0, dstW, dstH},
           reinterpret_cast<uint32_t*>(picture.bits()), picture.bytesPerLine());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * dstW * dstH);
}

void BM_Stretch(benchmark::State& state) {
  vz::NearestStretch s;
  stretch(state, s);
}

void BM_StretchCached(benchmark::State& state) {
  vz::NearestStretch s(SIZE_MAX);
  stretch(state, s);
}

void BM_StretchStreamed(benchmark::State& state) {
  vz::NearestStretch s(0);
  stretch(state, s);
}

BENCHMARK(BM_Present)->Apply(sizes);
BENCHMARK(BM_StretchStreamed)->Apply(sizes);
BENCHMARK(BM_PresentFirst)->Apply(sizes);
BENCHMARK(BM_Stretch)->Apply(sizes);
BENCHMARK(BM_StretchCached)->Apply(sizes);

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
