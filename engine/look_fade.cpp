// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/look_fade.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <new>

#include "engine/band_counter.h"
#include "engine/blend.h"
#include "engine/effect_mode.h"
#include "engine/effects.h"
#include "engine/fade_bands.h"
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
  // While fades are asked for, their room is made on an ordinary frame ahead of the first
  // fade, which has two looks to run already.
  if (fading_ || engine.fadeLink.armed()) {
    const std::size_t pixelCount =
        static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    // The frame as it came; or, fading into Lut2, its grey plane and a band.
    const std::size_t bytes =
        std::max(pixelCount * 3, pixelCount + static_cast<std::size_t>(width) * 3 * kFadeBand);
    if (copy_.size() != bytes) {
      try {
        copy_.resize(bytes);
      } catch (const std::bad_alloc&) {
        copy_ = {};
        fading_ = false;  // no room for the second look: cut rather than fail the frame
      }
    }
  }
  if (!fading_) {
    engine.processFrame(pixels, width, height);
    return;
  }
  sized_ = true, width_ = width, height_ = height;
  const FrameSettings before = takeSnapshot(*old_), after = takeSnapshot(engine);
  FrameWorker& worker = engine.frameWorker;
  // Where either look would share its frame with the worker, the two looks run side by side
  // instead; but where one of them leaves the frame as it came, the other runs split.
  const bool shared = (splitsFrame(before, width, height) || splitsFrame(after, width, height)) &&
                      worker.tryAcquire();
  const auto isLut2 = [](const FrameSettings& s) {
    return static_cast<EffectMode>(s.mode) == EffectMode::Lut2;
  };
  const auto leavesAlone = [](const FrameSettings& s) {
    return kernelFor(s.mode) == nullptr && s.mirror == 0;
  };
  const bool fromAlone = leavesAlone(before), intoAlone = leavesAlone(after);
  const FrameSettings& busy = fromAlone ? after : before;  // with fromAlone != intoAlone
  if (shared && fromAlone != intoAlone && splitsFrame(busy, width, height))
    fadeOneLookSplit(busy, fromAlone, worker, pixels, width, height);
  else if (BandLook::bands(before) && BandLook::bands(after))
    fadeInBands(before, after, shared ? &worker : nullptr, pixels, width, height);
  else if (BandLook::bands(before) && isLut2(after))
    fadeWithLut2(after, before, true, shared ? &worker : nullptr, pixels, width, height);
  else if (BandLook::bands(after) && isLut2(before))
    fadeWithLut2(before, after, false, shared ? &worker : nullptr, pixels, width, height);
  else
    fadeWhole(before, after, shared ? &worker : nullptr, pixels, width, height);
  if (shared) worker.release();
  oldRan_ = true;
  if (++j_ >= n_) fading_ = false;
}

void LookFade::fadeInBands(const FrameSettings& before, const FrameSettings& after,
                           FrameWorker* worker, uint8_t* pixels, int width, int height) {
  const std::ptrdiff_t rowBytes = static_cast<std::ptrdiff_t>(width) * 3;
  const int bands = (height + kFadeBand - 1) / kFadeBand;
  auto rowsOf = [&](int k) { return std::min(kFadeBand, height - k * kFadeBand); };
  auto frameBand = [&](int k) { return pixels + k * kFadeBand * rowBytes; };
  // One look runs from each frame band into a band of its own, the other on the frame band
  // after it, and the blend lands there. The first is one that reads the frame where it lies
  // if either does, so that the frame is read once, under a look's own arithmetic, and not
  // copied first. Two looks that filter alike share one filter: it runs into the band of
  // their own, the new look's arithmetic from there onto the frame, the old look's in place.
  BandLook fadingOut(before, width), fadingIn(after, width);
  const bool oneFilter = fadingOut.filtersLike(fadingIn);
  const bool inFirst = !oneFilter && !fadingOut.readsInPlace() && fadingIn.readsInPlace();
  BandLook& first = inFirst ? fadingIn : fadingOut;
  BandLook& second = inFirst ? fadingOut : fadingIn;
  // Band k in two steps, the second after the first: `own` is the band of its own.
  auto firstStep = [&](int k, uint8_t* own) {
    if (oneFilter)
      fadingIn.finish(fadingOut.filter(frameBand(k), own, rowsOf(k)), frameBand(k), rowsOf(k));
    else
      first.band(frameBand(k), own, rowsOf(k));
  };
  auto secondStep = [&](int k, uint8_t* own) {
    if (oneFilter)
      fadingOut.finish(own, own, rowsOf(k));
    else
      second.band(frameBand(k), rowsOf(k));
    (inFirst ? blendFadeOver : blendFade)(own, rowBytes, frameBand(k), rowBytes, rowBytes,
                                          rowsOf(k), j_, n_);
  };
  if (worker == nullptr) {
    // Band by band, all while the band is in cache: the frame goes through memory once.
    for (int k = 0; k < bands; ++k) {
      firstStep(k, copy_.data());
      secondStep(k, copy_.data());
    }
    return;
  }
  // The looks side by side: this thread takes the first step band by band; the worker, a
  // band behind, the second. Only the worker waits.
  BandCounter bandsDone(bands);
  worker->runBoth([&](int part) {
    if (part == 0) {
      for (int k = 0; k < bands; ++k) {
        firstStep(k, copy_.data() + k * kFadeBand * rowBytes);
        bandsDone.count(k + 1);
      }
      return;
    }
    for (int k = 0; k < bands; ++k) {
      bandsDone.waitFor(k + 1);
      secondStep(k, copy_.data() + k * kFadeBand * rowBytes);
    }
  });
}

void LookFade::fadeWithLut2(const FrameSettings& lut2, const FrameSettings& other, bool lut2FadesIn,
                            FrameWorker* worker, uint8_t* pixels, int width, int height) {
  // Lut2 keeps nothing of a pixel but its grey: with the grey plane beside the frame, the
  // other look runs on the frame itself and no copy of the frame is needed. Each band of
  // Lut2 is expanded into a band of its own and blended with the other look's while both
  // are in cache.
  const std::ptrdiff_t rowBytes = static_cast<std::ptrdiff_t>(width) * 3;
  const std::ptrdiff_t count = static_cast<std::ptrdiff_t>(width) * height;
  const int bands = (height + kFadeBand - 1) / kFadeBand;
  auto rowsOf = [&](int k) { return std::min(kFadeBand, height - k * kFadeBand); };
  uint8_t* plane = copy_.data();
  uint8_t* scratch = copy_.data() + count;
  const Lut2Expand expand(lut2);
  auto lut2Band = [&](int k) {
    const int rows = rowsOf(k);
    expand.expand(plane + static_cast<std::ptrdiff_t>(k) * kFadeBand * width, scratch,
                  static_cast<std::ptrdiff_t>(rows) * width);
    if (lut2.mirror != 0) mirrorRows(scratch, width, rows);
    uint8_t* band = pixels + k * kFadeBand * rowBytes;
    if (lut2FadesIn)
      blendFadeOver(scratch, rowBytes, band, rowBytes, rowBytes, rows, j_, n_);
    else
      blendFade(scratch, rowBytes, band, rowBytes, rowBytes, rows, j_, n_);
  };
  if (worker == nullptr) {
    lut2Grey(pixels, plane, count);
    lut2Filter(lut2, plane, width, height);
    BandLook look(other, width);
    for (int k = 0; k < bands; ++k) {
      look.band(pixels + k * kFadeBand * rowBytes, rowsOf(k));
      lut2Band(k);
    }
    return;
  }
  // This thread takes the grey, then runs the other look band by band; the worker filters
  // the plane meanwhile, then follows a band behind. Only the worker waits.
  BandCounter done(bands, -1);  // -1: no grey yet; then the bands of the other look
  worker->runBoth([&](int part) {
    if (part == 0) {
      lut2Grey(pixels, plane, count);
      done.count(0);
      BandLook look(other, width);
      for (int k = 0; k < bands; ++k) {
        look.band(pixels + k * kFadeBand * rowBytes, rowsOf(k));
        done.count(k + 1);
      }
      return;
    }
    done.waitFor(0);
    lut2Filter(lut2, plane, width, height);
    for (int k = 0; k < bands; ++k) {
      done.waitFor(k + 1);
      lut2Band(k);
    }
  });
}

void LookFade::fadeOneLookSplit(const FrameSettings& look, bool lookFadesIn, FrameWorker& worker,
                                uint8_t* pixels, int width, int height) {
  // Side by side, the look would run whole on one thread while the other thread had nothing
  // to run; alone, it shares the frame. So: the frame as it came (the other look's output),
  // kept by both threads a half each; the look as it runs alone; the blend a half each.
  const std::ptrdiff_t rowBytes = static_cast<std::ptrdiff_t>(width) * 3;
  const int y1 = height / 2;
  auto half = [&](int part, auto&& work) {
    const int from = part == 0 ? 0 : y1, rows = part == 0 ? y1 : height - y1;
    work(copy_.data() + from * rowBytes, pixels + from * rowBytes, rows);
  };
  worker.runBoth([&](int part) {
    half(part, [&](uint8_t* kept, const uint8_t* frame, int rows) {
      std::memcpy(kept, frame, static_cast<std::size_t>(rows * rowBytes));
    });
  });
  if (!processSplit(look, worker, pixels, width, height)) applyWhole(look, pixels, width, height);
  worker.runBoth([&](int part) {
    half(part, [&](const uint8_t* kept, uint8_t* frame, int rows) {
      (lookFadesIn ? blendFade : blendFadeOver)(kept, rowBytes, frame, rowBytes, rowBytes, rows, j_,
                                                n_);
    });
  });
}

void LookFade::fadeWhole(const FrameSettings& before, const FrameSettings& after,
                         FrameWorker* worker, uint8_t* pixels, int width, int height) {
  const std::ptrdiff_t rowBytes = static_cast<std::ptrdiff_t>(width) * 3;
  std::memcpy(copy_.data(), pixels, static_cast<std::size_t>(rowBytes * height));
  if (worker != nullptr) {
    worker->runBoth([&](int part) {
      part == 0 ? applyWhole(before, copy_.data(), width, height)
                : applyWhole(after, pixels, width, height);
    });
    const int y1 = height / 2;
    worker->runBoth([&](int part) {
      const int from = part == 0 ? 0 : y1, rows = part == 0 ? y1 : height - y1;
      blendFade(copy_.data() + from * rowBytes, rowBytes, pixels + from * rowBytes, rowBytes,
                rowBytes, rows, j_, n_);
    });
    return;
  }
  applyWhole(before, copy_.data(), width, height);
  applyWhole(after, pixels, width, height);
  blendFade(copy_.data(), rowBytes, pixels, rowBytes, rowBytes, height, j_, n_);
}

void LookFade::advanceAnimation(VideoEngine& engine) {
  engine.advanceAnimation();
  if (oldRan_) old_->advanceAnimation();
  oldRan_ = false;
}

}  // namespace vz
