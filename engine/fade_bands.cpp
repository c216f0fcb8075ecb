// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/fade_bands.h"

#include <cstddef>

#include "engine/effect_mode.h"

namespace vz {

bool BandLook::bands(const FrameSettings& s) {
  switch (static_cast<EffectMode>(s.mode)) {
    case EffectMode::Lut2:
    case EffectMode::Smear:
      return false;
    case EffectMode::Overflow:
      return !overflowFilters(s) || lowPassTakesAll(s.lowPass);
    default:
      return true;  // row by row, most pixel by pixel; or no kernel at all
  }
}

BandLook::BandLook(const FrameSettings& s, int width) : s_(s), width_(width) {
  if (static_cast<EffectMode>(s.mode) == EffectMode::Overflow) {
    if (overflowFilters(s)) columns_.emplace(s.lowPass, 0, width);
    overflow_.emplace(s);
  } else {
    kernel_ = kernelFor(s.mode);
  }
}

void BandLook::band(uint8_t* first, int rows) {
  const std::ptrdiff_t rowBytes = static_cast<std::ptrdiff_t>(width_) * 3;
  if (overflow_) {
    // As applyOverflow does it band by band: both passes of the filter, then the arithmetic.
    if (columns_) {
      lowPassRows(first, width_, rows, s_.lowPass);
      columns_->band(first, rowBytes, rows);
    }
    overflow_->run(first, static_cast<std::ptrdiff_t>(width_) * rows);
  } else if (kernel_ != nullptr) {
    kernel_(s_, first, width_, rows);
  }
  if (s_.mirror != 0) mirrorRows(first, width_, rows);
}

}  // namespace vz
