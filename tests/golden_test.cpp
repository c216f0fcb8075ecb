// SPDX-License-Identifier: GPL-3.0-or-later
// Checksums of every mode on larger synthetic frames (odd sizes, three frames in a row with
// colour cycling on): any change in any byte of any mode shows here.
#include <gtest/gtest.h>

#include "tests/test_frames.h"

namespace vz::test {
namespace {

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
