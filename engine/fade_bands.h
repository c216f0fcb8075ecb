// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>

#include "engine/effects.h"
#include "engine/frame_settings.h"
#include "engine/low_pass.h"

namespace vz {

// Rows a fade takes at a time: the low-pass filter's band, so that a band of both looks and
// the blend stay in one core's cache (two bands of a 4K frame fit its second level).
inline constexpr int kFadeBand = kLowPassBand;

// A look run down a frame band after band (the top band first, every band kFadeBand rows
// but the last), each band final when its call returns, with the same bytes as the look on
// the whole frame. Only for looks that bands() allows.
class BandLook {
 public:
  // False for looks that need the whole frame at once: Lut2 (its grey plane packs across
  // rows), Smear (runs cross rows) and Overflow filtering some channels only.
  static bool bands(const FrameSettings& s);

  BandLook(const FrameSettings& s, int width);
  // The next band of `rows` rows, in place.
  void band(uint8_t* first, int rows);
  // The next band read from `from`, which stays as it came, and written to `to`.
  void band(const uint8_t* from, uint8_t* to, int rows);
  // The band in its two steps: filtered Overflow's filter, from `from` into `to`, returning
  // where the rest reads (`from` for every other look); then the rest, into `to`. They share
  // no state, so two threads may take one each.
  const uint8_t* filter(const uint8_t* from, uint8_t* to, int rows);
  void finish(const uint8_t* from, uint8_t* to, int rows);
  // Whether both looks filter, with the same divisors: then one filter serves both.
  bool filtersLike(const BandLook& other) const;

  // Whether the look reads `from` itself there, rather than a copy of it made first: then
  // the frame is read once, under the look's own arithmetic (Overflow and Lut).
  bool readsInPlace() const { return overflow_.has_value() || lut_; }

 private:
  const FrameSettings& s_;
  int width_;
  EffectKernel kernel_ = nullptr;
  bool lut_ = false;
  std::optional<LowPassColumns> columns_;  // filtered Overflow only
  std::optional<OverflowPixels> overflow_;
};

}  // namespace vz
