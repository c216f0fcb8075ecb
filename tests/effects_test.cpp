// SPDX-License-Identifier: GPL-3.0-or-later
// Worked values of the effect modes, on frames small enough to check by hand, and checksums of
// every mode on larger synthetic frames (odd sizes, three frames in a row with colour cycling
// on): any change in any byte of any mode shows. Bytes of every mode against the plain rules
// on random looks are EveryMode's job.
#include <gtest/gtest.h>

#include <iterator>
#include <random>
#include <sstream>

#include "tests/test_frames.h"
#include "tools/fx_options.h"

namespace vz::test {
namespace {

struct Rgb {
  int r, g, b;
  bool operator==(const Rgb&) const = default;
};
void PrintTo(const Rgb& c, std::ostream* os) {
  *os << c.r << "," << c.g << "," << c.b;
}
Rgb at(const Frame& f, int width, int x, int y) {
  const size_t i = (static_cast<size_t>(y) * width + x) * 3;
  return {f[i + 2], f[i + 1], f[i]};
}

class Effects : public ::testing::Test {
 protected:
  static inline VideoEngine e;
  void SetUp() override { e = VideoEngine(); }
  Frame run(Frame f, int w, int h) {
    e.processFrame(f.data(), w, h);
    return f;
  }
};

// One uniform 3x3 frame through one look (frame filter options), pixel (at, at) checked.
TEST_F(Effects, WorkedValuesOnUniformFrames) {
  const std::string overflow = "--mode overflow --gain 12,12,12 --output 32,32,32 --color 100 ";
  const std::string lut = "--mode lut --lutmask 15,0,0 --output 32,0,0 ";
  const struct {
    std::string look;
    Rgb in;
    int at;
    Rgb want;
  } cases[] = {
      {overflow, {200, 100, 50}, 2, {199, 99, 49}},                      // unity scales by 255/256
      {overflow + "--gain 24,12,12", {200, 100, 50}, 2, {143, 99, 49}},  // 400 wraps to 144
      {overflow + "--tint 128,0,0", {200, 0, 0}, 2, {99, 100, 0}},       // halfway to green
      {overflow + "--color 0", {200, 100, 50}, 2, {115, 115, 115}},      // no colour: the mean
      {overflow + "--lowpass 0,0,0 --quantize 8,200,3", {255, 255, 255}, 2, {0, 0, 247}},
      {"--mode overflow", {200, 100, 50}, 2, {0, 0, 0}},  // gains are 0 until a look sets them
      {lut, {255, 255, 255}, 2, {240, 240, 240}},         // white takes the top entry
      {lut, {0, 0, 0}, 2, {0, 0, 0}},
      {lut + "--invert 1,0,0", {0, 0, 0}, 0, {240, 240, 240}},  // black takes entry 0
      {lut + "--invert 1,0,0", {255, 255, 255}, 0, {0, 0, 0}},
      {lut + "--invert 2,0,0", {0, 0, 0}, 0, {0, 0, 0}},  // only a byte of exactly 1 inverts
      {"--mode lut2 --output 32,0,0 --lutmask 15,0,0", {255, 255, 255}, 0, {0, 0, 0}},  // lag
      {"--mode bwinvert", {10, 20, 31}, 0, {20, 20, 20}},
      {"--mode bwinvert --invert 1,0,0", {10, 20, 31}, 0, {235, 235, 235}},
      {"--mode greenbluegrey", {200, 20, 31}, 0, {25, 25, 25}},
      {"--mode colorinvert --invert 1,0,7", {10, 20, 30}, 2, {245, 20, 30}},
  };
  for (const auto& c : cases) {
    e = VideoEngine();
    std::istringstream words("--size 3x3 " + c.look);
    applyFxOptions({std::istream_iterator<std::string>(words), {}}, e);
    EXPECT_EQ(at(run(uniformFrame(3, 3, c.in.r, c.in.g, c.in.b), 3, 3), 3, c.at, c.at), c.want)
        << c.look;
  }
  // Lut2 rewrites all three bytes with the saturated entry, here halfway to the mean.
  e = VideoEngine();
  e.mode = 5, e.outputRed = 32, e.lutMaskRed = 15, e.colorAmount = 50;
  e.paletteRed[0] = 250, e.paletteGreen[0] = 10, e.paletteBlue[0] = 40;  // white's entry
  EXPECT_EQ(at(run(uniformFrame(3, 3, 255, 255, 255), 3, 3), 3, 2, 2), (Rgb{175, 55, 70}));
  // Mask 30 drops odd levels (16 takes entry 15); the palette's low byte is stored.
  e = VideoEngine();
  e.mode = 3, e.outputRed = 32, e.lutMaskRed = 30;
  for (int k = 0; k < kPaletteSize; ++k) e.paletteRed[k] = 256 + k, e.paletteGreen[k] = -k;
  EXPECT_EQ(at(run(uniformFrame(1, 1, 16, 16, 16), 1, 1), 1, 0, 0), (Rgb{15, 241, 0}));
  EXPECT_EQ(at(run(uniformFrame(1, 1, 32, 32, 32), 1, 1), 1, 0, 0), (Rgb{13, 256 - 13, 32}));
}

// Zero divisors (low-pass as an empty slot recalls it; Lut2 with a zero palette and colour)
// give black, never a division by zero; so do frames of no pixels or no memory.
TEST_F(Effects, ZeroDivisorsAndDegenerateFramesAreHarmless) {
  e.mode = 1, e.lowPassRed = e.lowPassGreen = e.lowPassBlue = 0;
  EXPECT_EQ(run(randomFrame(5, 5, 5), 5, 5), Frame(75, 0));
  e.mode = 5;
  for (int k = 0; k < kPaletteSize; ++k) e.paletteRed[k] = e.paletteGreen[k] = e.paletteBlue[k] = 0;
  EXPECT_EQ(run(randomFrame(5, 5, 6), 5, 5), Frame(75, 0));
  e.processFrame(nullptr, 10, 10);
  Frame f(3, 7);
  e.processFrame(f.data(), 0, 1);
  e.processFrame(f.data(), 1, -1);
  EXPECT_EQ(f, Frame(3, 7));
}

// Smooth gradients with a sharp-edged square and some noise: every path of every mode runs.
// Returns the FNV-1a hash of the three processed frames.
uint64_t checksum(int mode, bool mirror, int w, int h) {
  static VideoEngine e;
  e = VideoEngine();
  e.mode = static_cast<uint8_t>(mode), e.mirror = mirror, e.colorCycle = 1;
  e.gainRed = 20, e.gainGreen = 12, e.gainBlue = 30;
  e.outputRed = 40, e.outputGreen = 32, e.outputBlue = 24;
  e.colorAmount = 70, e.floor = 10, e.lutMaskRed = 30;
  e.quantizeRed = 1, e.quantizeGreen = 2, e.quantizeBlue = 0;
  e.tintRed = 100, e.tintGreen = 300, e.tintBlue = 600;
  e.invertRed = 1, e.invertBlue = 1;
  e.lowPassRed = 8, e.lowPassGreen = 3, e.lowPassBlue = 5;
  uint64_t hash = 14695981039346656037ull;
  for (int t = 0; t < 3; ++t) {
    Frame f(static_cast<size_t>(w) * h * 3);
    std::mt19937 gen(static_cast<uint32_t>(t));
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        uint8_t* p = f.data() + (static_cast<size_t>(y) * w + x) * 3;
        const bool square = x > w / 3 && x < w / 2 && y > h / 4 && y < h / 2;
        p[0] = static_cast<uint8_t>(square ? 250 : (x * 255) / w);
        p[1] = static_cast<uint8_t>((y * 255) / h + t * 7);
        p[2] = static_cast<uint8_t>(((x + y) * 3) ^ (gen() & 15));
      }
    e.processFrame(f.data(), w, h);
    e.advanceAnimation();
    for (uint8_t b : f) hash = (hash ^ b) * 1099511628211ull;
  }
  return hash;
}

TEST(Golden, EveryModeKeepsItsChecksum) {
  const struct {
    int mode;
    bool mirror;
    uint64_t expected385x289, expected640x360;
  } cases[] = {
      {0, false, 0x43d727b1d824aea6ull, 0xb47e21a05c23fc88ull},
      {1, false, 0xfb1c5375584431e5ull, 0x2949c47d6bd180c3ull},
      {2, false, 0x6a8cf3d8b89334f7ull, 0x0445e85dc4302df2ull},
      {3, false, 0xd81c7453e2dbc00bull, 0xb3ba8531e90c8598ull},
      {4, false, 0x5320f4acfcd47206ull, 0x977e7fc4e001a1c0ull},
      {5, false, 0x15f43fc58a85fa25ull, 0x31817f0f53a69e7bull},
      {6, false, 0xde0594f7a0155c7aull, 0xe5512f017dfd76f7ull},
      {7, false, 0x3428a683fe42dbb6ull, 0x593e79c8ac7e8cc3ull},
      {8, false, 0xee5f115ed6ab21a9ull, 0x18473927dac0c87cull},
      {9, false, 0x0cf57bb03f29079bull, 0x87fa8d428b9726f0ull},
      {0, true, 0x6d4a71bfb635b184ull, 0x67d2bd297ca32419ull},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(checksum(c.mode, c.mirror, 385, 289), c.expected385x289) << "mode " << c.mode;
    EXPECT_EQ(checksum(c.mode, c.mirror, 640, 360), c.expected640x360) << "mode " << c.mode;
  }
}

}  // namespace
}  // namespace vz::test
