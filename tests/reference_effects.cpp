// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/reference_effects.h"

#include <algorithm>

namespace vz::test {

namespace {

struct Px {
  uint8_t* p;
  int b() const { return p[0]; }
  int g() const { return p[1]; }
  int r() const { return p[2]; }
  void set(int r, int g, int b) const {
    p[2] = static_cast<uint8_t>(r);
    p[1] = static_cast<uint8_t>(g);
    p[0] = static_cast<uint8_t>(b);
  }
};

int quantizeMask(int count) {
  return count >= 8 ? 0 : (255 << count);
}

int lutIndex(const VideoEngine& e, int y) {
  if (y < e.floor) y = 0;
  y = y * e.outputRed / 32;
  if (y > 255) y = 255;
  if (e.invertRed == 1) y = 255 - y;
  return 15 - ((y >> 4) & e.lutMaskRed);
}

// Mixes each channel with the mean by the colour amount.
void saturate(const VideoEngine& e, int (&rgb)[3]) {
  const int m = (rgb[0] + rgb[1] + rgb[2]) / 3;
  for (int& v : rgb) v = (v * e.colorAmount + m * (100 - e.colorAmount)) / 100;
}

bool lowPassOn(const VideoEngine& e) {
  return e.lowPassRed != 0 && e.lowPassGreen != 0 && e.lowPassBlue != 0;
}

}  // namespace

// Along each row, then down each column: every byte becomes the running sum so far divided
// by n, and the sum then loses that output and gains the byte.
void referenceLowPass(uint8_t* pixels, int width, int height, int channel, int n) {
  for (bool rows : {true, false})
    for (int line = 0; line < (rows ? height : width); ++line) {
      int s = 0;
      for (int step = 0; step < (rows ? width : height); ++step) {
        const int x = rows ? step : line, y = rows ? line : step;
        uint8_t& byte = pixels[(y * width + x) * 3 + channel];
        const int a = byte, out = s / n;
        byte = static_cast<uint8_t>(out);
        s = s - out + a;
      }
    }
}

void referenceProcessFrame(const VideoEngine& e, uint8_t* pixels, int W, int H) {
  const int count = W * H;
  auto px = [&](int i) { return Px{pixels + 3 * i}; };
  switch (e.mode) {
    case 1: {  // Overflow; channels in red, green, blue order
      const int lowPass[3] = {e.lowPassRed, e.lowPassGreen, e.lowPassBlue};
      if (lowPassOn(e))
        for (int c = 0; c < 3; ++c) referenceLowPass(pixels, W, H, 2 - c, lowPass[c]);
      const int quantize[3] = {e.quantizeRed, e.quantizeGreen, e.quantizeBlue};
      const int invert[3] = {e.invertRed, e.invertGreen, e.invertBlue};
      const int gain[3] = {e.gainRed, e.gainGreen, e.gainBlue};
      const int output[3] = {e.outputRed, e.outputGreen, e.outputBlue};
      const int tR = e.tintRed, tG = e.tintGreen, tB = e.tintBlue;
      for (int i = 0; i < count; ++i) {
        int in[3] = {px(i).r(), px(i).g(), px(i).b()}, out[3];
        for (int c = 0; c < 3; ++c) {
          if (in[c] < e.floor) in[c] = 0;
          in[c] &= quantizeMask(quantize[c]);
          if (invert[c] == 1) in[c] = 255 - in[c];
          in[c] = (in[c] * gain[c] / 12) & 255;
        }
        const int r = in[0], g = in[1], b = in[2];
        out[0] = (r * e.hueRed[tR] + g * e.hueGreen[tG] + b * e.hueBlue[tB]) / 256;
        out[1] = (r * e.hueGreen[tR] + g * e.hueRed[tG] + b * e.hueGreen[tB]) / 256;
        out[2] = (r * e.hueBlue[tR] + g * e.hueBlue[tG] + b * e.hueRed[tB]) / 256;
        for (int c = 0; c < 3; ++c) out[c] = std::min(out[c] * output[c] / 32, 255);
        saturate(e, out);
        px(i).set(out[0], out[1], out[2]);
      }
      break;
    }
    case 2:  // BwInvert
      for (int i = 0; i < count; ++i) {
        int y = (px(i).r() + px(i).g() + px(i).b()) / 3;
        if (e.invertRed == 1) y = 255 - y;
        px(i).set(y, y, y);
      }
      break;
    case 3:  // Lut
      for (int i = 0; i < count; ++i) {
        const int k = lutIndex(e, (px(i).r() + px(i).g() + px(i).b()) / 3);
        px(i).set(e.paletteRed[k], e.paletteGreen[k], e.paletteBlue[k]);
      }
      break;
    case 4:  // ColorInvert
      for (int i = 0; i < count; ++i) {
        Px q = px(i);
        if (e.invertRed == 1) q.p[2] ^= 255;
        if (e.invertGreen == 1) q.p[1] ^= 255;
        if (e.invertBlue == 1) q.p[0] ^= 255;
      }
      break;
    case 5:  // Lut2
      for (int i = 0; i < count; ++i)
        px(i).p[2] = static_cast<uint8_t>((px(i).r() + px(i).g() + px(i).b()) / 3);
      if (lowPassOn(e)) referenceLowPass(pixels, W, H, 2, e.lowPassRed);
      for (int i = 0; i < count; ++i) {
        const int k = lutIndex(e, px(i).r());
        int out[3] = {e.paletteRed[k], e.paletteGreen[k], e.paletteBlue[k]};
        saturate(e, out);
        px(i).set(out[0], out[1], out[2]);
      }
      break;
    case 6:  // Emboss
      for (int y = 0; y < H; ++y) {
        int reference = (px(y * W).r() + px(y * W).g()) >> 1;
        for (int x = 1; x < W; ++x) {
          const int s = px(y * W + x).r() + px(y * W + x).g();
          const int d = std::clamp(s - reference, -127, 127) + 128;
          px(y * W + x).set(d, d, d);
          reference = s;
        }
      }
      break;
    case 7:  // Smear
      if (W < 3 || H < 3) break;
      for (int j = 0; j < H; ++j)
        for (int i = j * (W - 1); i < j * (W - 1) + W - 2; ++i)
          for (int c = 0; c < 3; ++c)
            pixels[3 * i + c] =
                static_cast<uint8_t>((pixels[3 * (i + 1) + c] + pixels[3 * (i + 2) + c] +
                                      pixels[3 * (i + 3) + c] + pixels[3 * (i + 4) + c]) >>
                                     2);
      break;
    case 8:  // GreenBlueGrey
      for (int i = 0; i < count; ++i) {
        const int v = (px(i).g() + px(i).b()) >> 1;
        px(i).set(v, v, v);
      }
      break;
    case 9:  // Negative
      for (int i = 0; i < 3 * count; ++i) pixels[i] ^= 255;
      break;
    default:
      break;
  }
  if (e.mirror != 0)
    for (int y = 0; y < H; ++y)
      for (int x = 0; x < W / 2; ++x)
        for (int c = 0; c < 3; ++c)
          pixels[3 * (y * W + x) + c] = pixels[3 * (y * W + W - 1 - x) + c];
}

}  // namespace vz::test
