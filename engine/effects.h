// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/frame_settings.h"

namespace vz {

// One kernel per mode, all of one signature, chosen once per frame. Each rewrites a frame
// of packed 3-byte pixels in place and reads only the snapshot.
using EffectKernel = void (*)(const FrameSettings&, uint8_t* pixels, int width, int height);

void applyOverflow(const FrameSettings& s, uint8_t* pixels, int width, int height);
void applyBwInvert(const FrameSettings& s, uint8_t* pixels, int width, int height);
void applyLut(const FrameSettings& s, uint8_t* pixels, int width, int height);
void applyColorInvert(const FrameSettings& s, uint8_t* pixels, int width, int height);
void applyLut2(const FrameSettings& s, uint8_t* pixels, int width, int height);
void applyEmboss(const FrameSettings& s, uint8_t* pixels, int width, int height);
void applySmear(const FrameSettings& s, uint8_t* pixels, int width, int height);
void applyGreenBlueGrey(const FrameSettings& s, uint8_t* pixels, int width, int height);
void applyNegative(const FrameSettings& s, uint8_t* pixels, int width, int height);

// Overflow in its two steps, for sharing a frame between threads: whether the low-pass
// filter runs first, and the per-pixel arithmetic on a run of pixels.
inline bool overflowFilters(const FrameSettings& s) {
  return s.lowPass[kRed] != 0 && s.lowPass[kGreen] != 0 && s.lowPass[kBlue] != 0;
}
void overflowPixelRun(const FrameSettings& s, uint8_t* pixels, std::ptrdiff_t count);
// The same with its set-up done once, for a frame or one thread's part of it.
class OverflowPixels {
 public:
  explicit OverflowPixels(const FrameSettings& s);
  void run(uint8_t* pixels, std::ptrdiff_t count) const { run(pixels, pixels, count); }
  // From pixels that stay as they are into others (or the same: in place).
  void run(const uint8_t* from, uint8_t* to, std::ptrdiff_t count) const;

 private:
  static constexpr int kMixValues = 763;  // 1 + ((3 * 255 * 255) >> 8)
  const FrameSettings& s_;
  bool avx2_, tables_;
  uint8_t level_[3][256];
  int32_t scale_[3][kMixValues];
};

// Lut on a run of pixels, from one buffer into another (or the same).
void lutPixels(const FrameSettings& s, const uint8_t* from, uint8_t* to, std::ptrdiff_t count);

// Lut2 in its steps, so that a caller can take the last one a range at a time: the grey
// plane packed, then filtered, then each pixel's palette bytes from its plane byte. The
// plane may be the front of the frame itself (applyLut2 works in place so); then ranges go
// backwards (none before a later one): a pixel's bytes lie at or above every plane byte
// still to be read, so a range is final, and free to be rewritten, as soon as it is done.
void lut2Grey(const uint8_t* pixels, uint8_t* plane, std::ptrdiff_t count);
void lut2Filter(const FrameSettings& s, uint8_t* plane, int width, int height);
class Lut2Expand {
 public:
  explicit Lut2Expand(const FrameSettings& s);
  // count grey bytes from `plane` into count pixels at `pixels`, backwards.
  void expand(const uint8_t* plane, uint8_t* pixels, std::ptrdiff_t count) const;

 private:
  const FrameSettings& s_;
  bool avx2_;
  uint8_t entry_[3][kPaletteSize];
};

// Smear over `runs` runs starting at `first` (each run one pixel shorter than the previous
// start, so run j reads the first bytes of run j + 1). tail, when given, holds the 12 bytes
// the last run reads past its end, as they were before any run was written.
void smearRuns(uint8_t* first, int width, int runs, const uint8_t* tail);

// Makes every row symmetric about its centre: the left half takes the right half, reversed.
void mirrorRows(uint8_t* pixels, int width, int height);

// The kernel for a mode byte; null for Source and for every value from 10 up.
EffectKernel kernelFor(uint8_t mode);

}  // namespace vz
