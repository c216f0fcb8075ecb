// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/fade_bands.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <iterator>

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
  switch (static_cast<EffectMode>(s.mode)) {
    case EffectMode::Overflow:
      if (overflowFilters(s)) columns_.emplace(s.lowPass, 0, width);
      overflow_.emplace(s);
      break;
    case EffectMode::Lut:
      lut_ = true;
      break;
    default:
      kernel_ = kernelFor(s.mode);
  }
}

void BandLook::band(uint8_t* first, int rows) {
  band(first, first, rows);
}

void BandLook::band(const uint8_t* from, uint8_t* to, int rows) {
  finish(filter(from, to, rows), to, rows);
}

bool BandLook::filtersLike(const BandLook& other) const {
  return columns_ && other.columns_ &&
         std::equal(std::begin(s_.lowPass), std::end(s_.lowPass), std::begin(other.s_.lowPass));
}

const uint8_t* BandLook::filter(const uint8_t* from, uint8_t* to, int rows) {
  if (!columns_) return from;
  // As applyOverflow does it band by band: both passes of the filter (finish then takes the
  // arithmetic).
  lowPassRows(from, to, width_, rows, s_.lowPass);
  columns_->band(to, static_cast<std::ptrdiff_t>(width_) * 3, rows);
  return to;
}

void BandLook::finish(const uint8_t* from, uint8_t* to, int rows) {
  const std::ptrdiff_t pixels = static_cast<std::ptrdiff_t>(width_) * rows;
  if (overflow_) {
    overflow_->run(from, to, pixels);
  } else if (lut_) {
    lutPixels(s_, from, to, pixels);
  } else {
    if (to != from) std::memcpy(to, from, static_cast<std::size_t>(pixels * 3));
    if (kernel_ != nullptr) kernel_(s_, to, width_, rows);
  }
  if (s_.mirror != 0) mirrorRows(to, width_, rows);
}

}  // namespace vz
