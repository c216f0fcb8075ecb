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

bool lowPassOn(const VideoEngine& e) {
  return e.lowPassRed != 0 && e.lowPassGreen != 0 && e.lowPassBlue != 0;
}

}  // namespace

void referenceLowPass(uint8_t* pixels, int width, int height, int channel, int n) {
  for (int y = 0; y < height; ++y) {
    int s = 0;
    for (int x = 0; x < width; ++x) {
      uint8_t& byte = pixels[(y * width + x) * 3 + channel];
      const int a = byte, out = s / n;
      byte = static_cast<uint8_t>(out);
      s = s - out + a;
    }
  }
  for (int x = 0; x < width; ++x) {
    int s = 0;
    for (int y = 0; y < height; ++y) {
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
    case 1:  // Overflow
      if (lowPassOn(e)) {
        referenceLowPass(pixels, W, H, 2, e.lowPassRed);
        referenceLowPass(pixels, W, H, 1, e.lowPassGreen);
        referenceLowPass(pixels, W, H, 0, e.lowPassBlue);
      }
      for (int i = 0; i < count; ++i) {
        int r = px(i).r(), g = px(i).g(), b = px(i).b();
        if (r < e.floor) r = 0;
        if (g < e.floor) g = 0;
        if (b < e.floor) b = 0;
        r &= quantizeMask(e.quantizeRed);
        g &= quantizeMask(e.quantizeGreen);
        b &= quantizeMask(e.quantizeBlue);
        if (e.invertRed == 1) r = 255 - r;
        if (e.invertGreen == 1) g = 255 - g;
        if (e.invertBlue == 1) b = 255 - b;
        r = (r * e.gainRed / 12) & 255;
        g = (g * e.gainGreen / 12) & 255;
        b = (b * e.gainBlue / 12) & 255;
        const int tR = e.tintRed, tG = e.tintGreen, tB = e.tintBlue;
        int R = (r * e.hueRed[tR] + g * e.hueGreen[tG] + b * e.hueBlue[tB]) / 256;
        int G = (r * e.hueGreen[tR] + g * e.hueRed[tG] + b * e.hueGreen[tB]) / 256;
        int B = (r * e.hueBlue[tR] + g * e.hueBlue[tG] + b * e.hueRed[tB]) / 256;
        R = std::min(R * e.outputRed / 32, 255);
        G = std::min(G * e.outputGreen / 32, 255);
        B = std::min(B * e.outputBlue / 32, 255);
        const int m = (R + G + B) / 3;
        R = (R * e.colorAmount + m * (100 - e.colorAmount)) / 100;
        G = (G * e.colorAmount + m * (100 - e.colorAmount)) / 100;
        B = (B * e.colorAmount + m * (100 - e.colorAmount)) / 100;
        px(i).set(R, G, B);
      }
      break;
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
        int R = e.paletteRed[k], G = e.paletteGreen[k], B = e.paletteBlue[k];
        const int m = (R + G + B) / 3;
        R = (R * e.colorAmount + m * (100 - e.colorAmount)) / 100;
        G = (G * e.colorAmount + m * (100 - e.colorAmount)) / 100;
        B = (B * e.colorAmount + m * (100 - e.colorAmount)) / 100;
        px(i).set(R, G, B);
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
