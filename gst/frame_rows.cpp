// SPDX-License-Identifier: GPL-3.0-or-later
#include "gst/frame_rows.h"

#include "engine/effects.h"
#include "engine/frame_settings.h"
#include "engine/row_order.h"
#include "engine/shared_value.h"

namespace vz {

namespace {

void applyLook(const FrameSettings& s, uint8_t* pixels, int width, int height) {
  if (const EffectKernel kernel = kernelFor(s.mode)) kernel(s, pixels, width, height);
  if (s.mirror != 0) mirrorRows(pixels, width, height);
}

}  // namespace

void processTopDownFrame(VideoEngine& engine, uint8_t* top, int width, int height,
                         std::ptrdiff_t stride, std::vector<uint8_t>& work) {
  const std::ptrdiff_t rowBytes = static_cast<std::ptrdiff_t>(width) * 3;
  if (top == nullptr || width <= 0 || height <= 0 || stride < rowBytes) return;
  const FrameSettings s = takeSnapshot(engine);
  if (isRowLocal(s)) {
    if (stride == rowBytes) {
      applyLook(s, top, width, height);
    } else {
      for (int y = 0; y < height; ++y) applyLook(s, top + y * stride, width, 1);
    }
  } else if (stride == rowBytes) {
    flipRowsInPlace(top, static_cast<int>(rowBytes), height);
    applyLook(s, top, width, height);
    flipRowsInPlace(top, static_cast<int>(rowBytes), height);
  } else {
    work.resize(static_cast<size_t>(rowBytes) * height);
    packRowsBottomUp(top, static_cast<int>(stride), work.data(), static_cast<int>(rowBytes),
                     height);
    applyLook(s, work.data(), width, height);
    unpackRowsBottomUp(work.data(), static_cast<int>(rowBytes), top, static_cast<int>(stride),
                       height);
  }
  engine.advanceAnimation();
}

void processTopDownFrame(VideoEngine& engine, LookFade& fade, uint8_t* top, int width, int height,
                         std::ptrdiff_t stride, std::vector<uint8_t>& work) {
  if (!fade.fading()) return processTopDownFrame(engine, top, width, height, stride, work);
  const std::ptrdiff_t rowBytes = static_cast<std::ptrdiff_t>(width) * 3;
  if (top == nullptr || width <= 0 || height <= 0 || stride < rowBytes) return;
  if (stride == rowBytes) {
    flipRowsInPlace(top, static_cast<int>(rowBytes), height);
    fade.processFrame(engine, top, width, height);
    flipRowsInPlace(top, static_cast<int>(rowBytes), height);
  } else {
    work.resize(static_cast<size_t>(rowBytes) * height);
    packRowsBottomUp(top, static_cast<int>(stride), work.data(), static_cast<int>(rowBytes),
                     height);
    fade.processFrame(engine, work.data(), width, height);
    unpackRowsBottomUp(work.data(), static_cast<int>(rowBytes), top, static_cast<int>(stride),
                       height);
  }
  fade.advanceAnimation(engine);
}

bool leavesFramesAlone(const VideoEngine& engine) {
  return kernelFor(loadRelaxed(engine.mode)) == nullptr && loadRelaxed(engine.mirror) == 0;
}

}  // namespace vz
