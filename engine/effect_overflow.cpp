// SPDX-License-Identifier: GPL-3.0-or-later
#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "engine/cpu_dispatch.h"
#include "engine/effects.h"
#include "engine/effects_avx2.h"
#include "engine/low_pass.h"

namespace vz {

namespace {

void overflowPixels(const FrameSettings& s, const uint8_t* from, uint8_t* to,
                    std::ptrdiff_t count) {
  const int floor = s.floor;
  const int qb = s.quantizeMask[kBlue], qg = s.quantizeMask[kGreen], qr = s.quantizeMask[kRed];
  const int ib = s.invertXor[kBlue], ig = s.invertXor[kGreen], ir = s.invertXor[kRed];
  const int gb = s.gain[kBlue], gg = s.gain[kGreen], gr = s.gain[kRed];
  const int rr = s.mix[kRed][kRed], rg = s.mix[kRed][kGreen], rb = s.mix[kRed][kBlue];
  const int grr = s.mix[kGreen][kRed], ggg = s.mix[kGreen][kGreen], ggb = s.mix[kGreen][kBlue];
  const int br = s.mix[kBlue][kRed], bg = s.mix[kBlue][kGreen], bb = s.mix[kBlue][kBlue];
  const int ob = s.output[kBlue], og = s.output[kGreen], orr = s.output[kRed];
  const int amount = s.colorAmount, rest = 100 - s.colorAmount;

  for (std::ptrdiff_t i = 0; i < count; ++i) {
    const uint8_t* p = from + 3 * i;
    uint8_t* q = to + 3 * i;
    int b = p[0], g = p[1], r = p[2];
    if (r < floor) r = 0;
    if (g < floor) g = 0;
    if (b < floor) b = 0;
    // Quantize, then invert (255 - v equals v XOR 255 on a byte).
    r = (r & qr) ^ ir;
    g = (g & qg) ^ ig;
    b = (b & qb) ^ ib;
    // Wrapping gain, 12 = unity.
    r = (r * gr / 12) & 255;
    g = (g * gg / 12) & 255;
    b = (b * gb / 12) & 255;
    // Hue-wheel mix: sums are never negative, so / 256 is a shift.
    int R = (r * rr + g * rg + b * rb) >> 8;
    int G = (r * grr + g * ggg + b * ggb) >> 8;
    int B = (r * br + g * bg + b * bb) >> 8;
    // Output scale, 32 = unity, clamped above only; division, not a shift, so a negative
    // scale truncates as the arithmetic says.
    R = std::min(R * orr / 32, 255);
    G = std::min(G * og / 32, 255);
    B = std::min(B * ob / 32, 255);
    // Saturation; a colour amount above 100 (from a bank) can go negative: truncating
    // division and the low 8 bits, as the arithmetic says.
    const int m = (R + G + B) / 3;
    const int rest_m = m * rest;
    q[2] = static_cast<uint8_t>((R * amount + rest_m) / 100);
    q[1] = static_cast<uint8_t>((G * amount + rest_m) / 100);
    q[0] = static_cast<uint8_t>((B * amount + rest_m) / 100);
  }
}

bool within(int32_t v, int32_t limit) {
  return v >= -limit && v <= limit;
}

}  // namespace

// The steps before the mix and the output scale are functions of one value each (a byte,
// and a mix result of at most 762 when the coefficients are bytes, as the hue wheel's are),
// so the portable path looks them up, from tables built once for the frame or part.
OverflowPixels::OverflowPixels(const FrameSettings& s)
    : s_(s), avx2_(useAvx2() && overflowFitsAvx2(s)) {
  // Filling a table must not form a product the pixels themselves might never reach, so
  // gains and scales large enough to overflow take the plain code.
  bool fits = true;
  for (int c = 0; c < 3; ++c) {
    for (int32_t v : s.mix[c]) fits = fits && v >= 0 && v <= 255;
    fits = fits && within(s.gain[c], INT32_MAX / 255) &&
           within(s.output[c], INT32_MAX / (kMixValues - 1));
  }
  tables_ = !avx2_ && fits;
  if (!tables_) return;
  for (int c = 0; c < 3; ++c) {
    for (int x = 0; x < 256; ++x) {
      int v = x < s.floor ? 0 : x;
      v = (v & s.quantizeMask[c]) ^ s.invertXor[c];
      level_[c][x] = static_cast<uint8_t>((v * s.gain[c] / 12) & 255);
    }
    for (int v = 0; v < kMixValues; ++v) scale_[c][v] = std::min(v * s.output[c] / 32, 255);
  }
}

void OverflowPixels::run(const uint8_t* from, uint8_t* to, std::ptrdiff_t count) const {
  if (!tables_) {
    const std::ptrdiff_t done = avx2_ ? overflowPixelsAvx2(s_, from, to, count) : 0;
    overflowPixels(s_, from + 3 * done, to + 3 * done, count - done);
    return;
  }
  const FrameSettings& s = s_;
  const int rr = s.mix[kRed][kRed], rg = s.mix[kRed][kGreen], rb = s.mix[kRed][kBlue];
  const int grr = s.mix[kGreen][kRed], ggg = s.mix[kGreen][kGreen], ggb = s.mix[kGreen][kBlue];
  const int br = s.mix[kBlue][kRed], bg = s.mix[kBlue][kGreen], bb = s.mix[kBlue][kBlue];
  const int amount = s.colorAmount, rest = 100 - s.colorAmount;
  for (std::ptrdiff_t i = 0; i < count; ++i) {
    const uint8_t* p = from + 3 * i;
    uint8_t* q = to + 3 * i;
    const int b = level_[kBlue][p[0]], g = level_[kGreen][p[1]], r = level_[kRed][p[2]];
    const int R = scale_[kRed][(r * rr + g * rg + b * rb) >> 8];
    const int G = scale_[kGreen][(r * grr + g * ggg + b * ggb) >> 8];
    const int B = scale_[kBlue][(r * br + g * bg + b * bb) >> 8];
    const int rest_m = (R + G + B) / 3 * rest;
    q[2] = static_cast<uint8_t>((R * amount + rest_m) / 100);
    q[1] = static_cast<uint8_t>((G * amount + rest_m) / 100);
    q[0] = static_cast<uint8_t>((B * amount + rest_m) / 100);
  }
}

void overflowPixelRun(const FrameSettings& s, uint8_t* pixels, std::ptrdiff_t count) {
  OverflowPixels(s).run(pixels, count);
}

void applyOverflow(const FrameSettings& s, uint8_t* pixels, int width, int height) {
  if (!overflowFilters(s) || !lowPassTakesAll(s.lowPass)) {
    if (overflowFilters(s)) lowPassFilter(pixels, width, height, kFilterAll, s.lowPass);
    OverflowPixels(s).run(pixels, static_cast<std::ptrdiff_t>(width) * height);
    return;
  }
  // Band by band: the filter's two passes and the arithmetic in one trip through memory.
  const std::ptrdiff_t rowBytes = static_cast<std::ptrdiff_t>(width) * 3;
  LowPassColumns columns(s.lowPass, 0, width);
  const OverflowPixels arithmetic(s);
  for (int y = 0; y < height; y += kLowPassBand) {
    const int rows = std::min(kLowPassBand, height - y);
    uint8_t* band = pixels + y * rowBytes;
    lowPassRows(band, width, rows, s.lowPass);
    columns.band(band, rowBytes, rows);
    arithmetic.run(band, static_cast<std::ptrdiff_t>(width) * rows);
  }
}

}  // namespace vz
