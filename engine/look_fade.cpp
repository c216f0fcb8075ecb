// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/look_fade.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "engine/blend.h"
#include "engine/effects.h"
#include "engine/frame_settings.h"
#include "engine/shared_value.h"
#include "engine/split_frame.h"

namespace vz {

namespace {

void applyWhole(const FrameSettings& s, uint8_t* pixels, int width, int height) {
  if (const EffectKernel kernel = kernelFor(s.mode)) kernel(s, pixels, width, height);
  if (s.mirror != 0) mirrorRows(pixels, width, height);
}

template <class T, std::size_t N>
void copyRun(const T (&from)[N], T (&to)[N]) {
  for (std::size_t k = 0; k < N; ++k) storeRelaxed(to[k], loadRelaxed(from[k]));
}

}  // namespace

int fadeFrameCount(double seconds, double framesPerSecond) {
  const double frames = seconds * framesPerSecond;
  if (!(frames >= 1)) return 1;  // also NaN
  return frames >= kMaxFadeFrames ? kMaxFadeFrames : static_cast<int>(std::lround(frames));
}

void copyLook(const VideoEngine& from, VideoEngine& to) {
  storeRelaxed(to.mode, loadRelaxed(from.mode));
  storeRelaxed(to.invertRed, loadRelaxed(from.invertRed));
  storeRelaxed(to.invertGreen, loadRelaxed(from.invertGreen));
  storeRelaxed(to.invertBlue, loadRelaxed(from.invertBlue));
  storeRelaxed(to.mirror, loadRelaxed(from.mirror));
  storeRelaxed(to.colorCycle, loadRelaxed(from.colorCycle));
  copyRun(from.paletteRed, to.paletteRed);
  copyRun(from.paletteGreen, to.paletteGreen);
  copyRun(from.paletteBlue, to.paletteBlue);
  for (auto field : kSettingsBlock) storeRelaxed(to.*field, loadRelaxed(from.*field));
  copyRun(from.cycleStepRed, to.cycleStepRed);
  copyRun(from.cycleStepGreen, to.cycleStepGreen);
  copyRun(from.cycleStepBlue, to.cycleStepBlue);
  to.cycleRandom = from.cycleRandom;
}

LookFade::LookFade() : old_(std::make_unique<VideoEngine>()) {}
LookFade::~LookFade() = default;

void LookFade::startFrom(const VideoEngine& look, int frames) {
  fading_ = frames > 1;
  if (!fading_) return;
  copyLook(look, *old_);
  j_ = 0;
  n_ = std::min(frames, kMaxFadeFrames);
  sized_ = false;
}

void LookFade::processFrame(VideoEngine& engine, uint8_t* pixels, int width, int height) {
  oldRan_ = false;
  if (pixels == nullptr || width <= 0 || height <= 0) return;
  if (fading_ && sized_ && (width != width_ || height != height_)) fading_ = false;
  const std::size_t bytes = static_cast<std::size_t>(width) * 3 * static_cast<std::size_t>(height);
  if (fading_ && copy_.size() != bytes) {
    try {
      copy_.resize(bytes);
    } catch (const std::bad_alloc&) {
      fading_ = false;  // no room for the second look: cut rather than fail the frame
    }
  }
  if (!fading_) {
    engine.processFrame(pixels, width, height);
    return;
  }
  sized_ = true, width_ = width, height_ = height;
  const FrameSettings before = takeSnapshot(*old_), after = takeSnapshot(engine);
  std::memcpy(copy_.data(), pixels, bytes);
  const std::ptrdiff_t rowBytes = static_cast<std::ptrdiff_t>(width) * 3;
  FrameWorker& worker = engine.frameWorker;
  // Where either look would share its frame with the worker, the two looks run side by side
  // instead, then each thread blends half of the rows.
  if ((splitsFrame(before, width, height) || splitsFrame(after, width, height)) &&
      worker.tryAcquire()) {
    worker.runBoth([&](int part) {
      part == 0 ? applyWhole(before, copy_.data(), width, height)
                : applyWhole(after, pixels, width, height);
    });
    const int y1 = height / 2;
    worker.runBoth([&](int part) {
      const int from = part == 0 ? 0 : y1, rows = part == 0 ? y1 : height - y1;
      blendFade(copy_.data() + from * rowBytes, rowBytes, pixels + from * rowBytes, rowBytes,
                rowBytes, rows, j_, n_);
    });
    worker.release();
  } else {
    applyWhole(before, copy_.data(), width, height);
    applyWhole(after, pixels, width, height);
    blendFade(copy_.data(), rowBytes, pixels, rowBytes, rowBytes, height, j_, n_);
  }
  oldRan_ = true;
  if (++j_ >= n_) fading_ = false;
}

void LookFade::advanceAnimation(VideoEngine& engine) {
  engine.advanceAnimation();
  if (oldRan_) old_->advanceAnimation();
  oldRan_ = false;
}

}  // namespace vz
