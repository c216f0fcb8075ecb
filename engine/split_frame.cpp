// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/split_frame.h"

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstring>
#include <vector>

#include "engine/band_counter.h"
#include "engine/effect_mode.h"
#include "engine/effects.h"
#include "engine/low_pass.h"

namespace vz {

namespace {

std::atomic<FrameSplit> splitPolicy{FrameSplit::Auto};

// From 1440p up; a 1080p frame costs the streaming thread a few milliseconds alone, except
// in filtered Overflow, the costliest mode, whose split hands over once per frame.
constexpr std::ptrdiff_t kSplitPixels = 2560 * 1440;
constexpr std::ptrdiff_t kSplitFilteredOverflowPixels = 1920 * 1080;

// Near the middle of n, at a multiple of unit (the vector kernels' block) when there is room.
int middle(int n, int unit) {
  const int m = n / 2 / unit * unit;
  return m > 0 ? m : n / 2;
}

// Overflow in one trip through memory, band by band as on one thread, the parts taking the
// left and right columns. The column pass and the arithmetic need only their own columns;
// the row pass of the right part carries on from the sums the left part leaves at its last
// column, handed over band by band. Only the worker waits (the left part runs ahead on the
// streaming thread), and the bands stay in each core's cache through all three steps.
void overflowShared(const FrameSettings& s, FrameWorker& worker, uint8_t* pixels, int width,
                    int height) {
  const std::ptrdiff_t rowBytes = static_cast<std::ptrdiff_t>(width) * 3;
  const int x1 = middle(width, 32);  // whole 96-byte steps of the vector row pass
  struct RowSums {
    uint16_t sums[3][kLowPassBand];
  };
  std::vector<RowSums> handed((height + kLowPassBand - 1) / kLowPassBand);
  BandCounter bandsHanded(static_cast<int>(handed.size()));
  worker.runBoth([&](int part) {
    const int from = part == 0 ? 0 : x1, to = part == 0 ? x1 : width;
    LowPassColumns columns(s.lowPass, from, to);
    const OverflowPixels arithmetic(s);
    for (int k = 0, y = 0; y < height; ++k, y += kLowPassBand) {
      const int rows = std::min(kLowPassBand, height - y);
      uint8_t* band = pixels + y * rowBytes;
      if (part == 0) {
        lowPassRowSpan(band, rowBytes, 0, x1, rows, s.lowPass, handed[k].sums);
        bandsHanded.count(k + 1);
      } else {
        bandsHanded.waitFor(k + 1);
        lowPassRowSpan(band, rowBytes, x1, width, rows, s.lowPass, handed[k].sums);
      }
      columns.band(band, rowBytes, rows);
      for (int r = 0; r < rows; ++r) arithmetic.run(band + r * rowBytes + 3 * from, to - from);
    }
  });
}

}  // namespace

bool splitsFrame(const FrameSettings& s, int width, int height) {
  switch (splitPolicy.load(std::memory_order_relaxed)) {
    case FrameSplit::Never:
      return false;
    case FrameSplit::Always:
      return width >= 2 && height >= 2;
    case FrameSplit::Auto:
      break;
  }
  const bool filteredOverflow = static_cast<EffectMode>(s.mode) == EffectMode::Overflow &&
                                overflowFilters(s) && lowPassTakesAll(s.lowPass);
  return static_cast<std::ptrdiff_t>(width) * height >=
         (filteredOverflow ? kSplitFilteredOverflowPixels : kSplitPixels);
}

void setFrameSplit(FrameSplit policy) {
  splitPolicy.store(policy, std::memory_order_relaxed);
}

bool processSplit(const FrameSettings& s, FrameWorker& worker, uint8_t* pixels, int width,
                  int height) {
  if (width < 2 || height < 2) return false;
  const std::ptrdiff_t rowBytes = static_cast<std::ptrdiff_t>(width) * 3;
  const int y1 = middle(height, 16);
  const EffectKernel kernel = kernelFor(s.mode);
  const bool mirror = s.mirror != 0;
  // Each part's rows: the top part, then the rest.
  auto first = [&](int part) { return part == 0 ? pixels : pixels + y1 * rowBytes; };
  auto rows = [&](int part) { return part == 0 ? y1 : height - y1; };
  auto mirrorRowsOf = [&](int part) { mirrorRows(first(part), width, rows(part)); };

  switch (static_cast<EffectMode>(s.mode)) {
    case EffectMode::Overflow:
      if (overflowFilters(s) && lowPassTakesAll(s.lowPass)) {
        overflowShared(s, worker, pixels, width, height);
        if (mirror) worker.runBoth(mirrorRowsOf);
        return true;
      }
      if (overflowFilters(s)) return false;  // some channel's filter off: rare, done alone
      worker.runBoth([&](int part) {
        overflowPixelRun(s, first(part), static_cast<std::ptrdiff_t>(width) * rows(part));
        if (mirror) mirrorRowsOf(part);
      });
      return true;
    case EffectMode::Smear:
      if (width >= 3 && height >= 3) {
        // Runs overlap the next one's first bytes; the top part's last run reads them as
        // they were before the frame, saved here.
        const std::ptrdiff_t stride = static_cast<std::ptrdiff_t>(width - 1) * 3;
        const int j1 = height / 2;
        uint8_t tail[12];
        std::memcpy(tail, pixels + (j1 - 1) * stride + (stride - 3), sizeof tail);
        worker.runBoth([&](int part) {
          if (part == 0)
            smearRuns(pixels, width, j1, tail);
          else
            smearRuns(pixels + j1 * stride, width, height - j1, nullptr);
        });
      }
      if (mirror) worker.runBoth(mirrorRowsOf);
      return true;
    case EffectMode::Lut2:
      // Its grey plane is packed at the front of the frame, across rows.
      return false;
    default:
      break;
  }
  // The rest work row by row (most pixel by pixel); the mirror reads only its own row.
  if (kernel == nullptr && !mirror) return false;
  worker.runBoth([&](int part) {
    if (kernel != nullptr) kernel(s, first(part), width, rows(part));
    if (mirror) mirrorRowsOf(part);
  });
  return true;
}

}  // namespace vz
