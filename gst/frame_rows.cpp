#include "gst/frame_rows.h"

#include <algorithm>
#include <cstring>

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

void flipRows(uint8_t* pixels, std::ptrdiff_t rowBytes, int height) {
  for (int top = 0, bottom = height - 1; top < bottom; ++top, --bottom)
    std::swap_ranges(pixels + top * rowBytes, pixels + (top + 1) * rowBytes,
                     pixels + bottom * rowBytes);
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
    flipRows(top, rowBytes, height);
    applyLook(s, top, width, height);
    flipRows(top, rowBytes, height);
  } else {
    work.resize(static_cast<size_t>(rowBytes) * height);
    for (int y = 0; y < height; ++y)
      std::memcpy(work.data() + (height - 1 - y) * rowBytes, top + y * stride, rowBytes);
    applyLook(s, work.data(), width, height);
    for (int y = 0; y < height; ++y)
      std::memcpy(top + y * stride, work.data() + (height - 1 - y) * rowBytes, rowBytes);
  }
  engine.advanceAnimation();
}

bool leavesFramesAlone(const VideoEngine& engine) {
  return kernelFor(loadRelaxed(engine.mode)) == nullptr && loadRelaxed(engine.mirror) == 0;
}

}  // namespace vz
