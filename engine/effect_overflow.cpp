#include <algorithm>
#include <cstddef>

#include "engine/cpu_dispatch.h"
#include "engine/effects.h"
#include "engine/effects_avx2.h"
#include "engine/low_pass.h"

namespace vz {

namespace {

void overflowPixels(const FrameSettings& s, uint8_t* pixels, std::ptrdiff_t count) {
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
    uint8_t* p = pixels + 3 * i;
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
    p[2] = static_cast<uint8_t>((R * amount + rest_m) / 100);
    p[1] = static_cast<uint8_t>((G * amount + rest_m) / 100);
    p[0] = static_cast<uint8_t>((B * amount + rest_m) / 100);
  }
}

}  // namespace

void overflowPixelRun(const FrameSettings& s, uint8_t* pixels, std::ptrdiff_t count) {
  const std::ptrdiff_t done =
      useAvx2() && overflowFitsAvx2(s) ? overflowPixelsAvx2(s, pixels, count) : 0;
  overflowPixels(s, pixels + 3 * done, count - done);
}

void applyOverflow(const FrameSettings& s, uint8_t* pixels, int width, int height) {
  if (!overflowFilters(s) || !lowPassTakesAll(s.lowPass)) {
    if (overflowFilters(s)) lowPassFilter(pixels, width, height, kFilterAll, s.lowPass);
    overflowPixelRun(s, pixels, static_cast<std::ptrdiff_t>(width) * height);
    return;
  }
  // Band by band: the filter's two passes and the arithmetic in one trip through memory.
  const std::ptrdiff_t rowBytes = static_cast<std::ptrdiff_t>(width) * 3;
  LowPassColumns columns(s.lowPass, 0, width);
  for (int y = 0; y < height; y += kLowPassBand) {
    const int rows = std::min(kLowPassBand, height - y);
    uint8_t* band = pixels + y * rowBytes;
    lowPassRows(band, width, rows, s.lowPass);
    columns.band(band, rowBytes, rows);
    overflowPixelRun(s, band, static_cast<std::ptrdiff_t>(width) * rows);
  }
}

}  // namespace vz
