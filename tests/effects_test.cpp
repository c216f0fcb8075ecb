// SPDX-License-Identifier: GPL-3.0-or-later
// Worked values of the effect modes, on frames small enough to check by hand. Bytes of every
// mode against the plain rules on random looks are SimdPaths' job.
#include <gtest/gtest.h>

#include <iterator>
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

TEST_F(Effects, EmbossIsMidGreyOnFlatAreasAndClampsSteepEdges) {
  e.mode = 6;
  const Frame out = run(uniformFrame(5, 2, 100, 60, 9), 5, 2);
  for (int y = 0; y < 2; ++y) {
    EXPECT_EQ(at(out, 5, 0, y), (Rgb{100, 60, 9}));
    EXPECT_EQ(at(out, 5, 1, y), (Rgb{208, 208, 208}));  // 160 - 80 + 128
    for (int x = 2; x < 5; ++x) EXPECT_EQ(at(out, 5, x, y), (Rgb{128, 128, 128}));
  }
  Frame f = uniformFrame(3, 1, 0, 0, 0);
  f[5] = f[4] = 255;  // pixel 1 white: +510 from pixel 0, then -510 to pixel 2
  const Frame edge = run(f, 3, 1);
  EXPECT_EQ(at(edge, 3, 1, 0).r, 255);
  EXPECT_EQ(at(edge, 3, 2, 0).r, 1);
}

TEST_F(Effects, SmearAveragesTheFourFollowingPixelsAndLeavesTheTail) {
  e.mode = 7;
  Frame in(4 * 3 * 3);
  for (size_t i = 0; i < in.size(); ++i) in[i] = static_cast<uint8_t>(i * 4);
  const Frame out = run(in, 4, 3);
  // Runs of W - 2 = 2 pixels start at pixels 0, 3, 6; the last H + 1 = 4 pixels stay.
  for (int i = 0; i < 36; ++i) {
    const bool smeared = i / 3 < 8 && i / 3 % 3 != 2;
    EXPECT_EQ(out[i], smeared ? (in[i + 3] + in[i + 6] + in[i + 9] + in[i + 12]) >> 2 : in[i]) << i;
  }
}

TEST_F(Effects, MirrorCopiesTheRightHalfOntoTheLeftInEveryMode) {
  auto reds = [&](int w) {
    Frame f = uniformFrame(w, 1, 0, 0, 0);
    for (int p = 0; p < w; ++p) f[3 * p + 2] = static_cast<uint8_t>(p + 1);
    f = run(f, w, 1);
    std::vector<int> r;
    for (size_t i = 2; i < f.size(); i += 3) r.push_back(f[i]);
    return r;
  };
  e.mirror = 1;
  EXPECT_EQ(reds(5), (std::vector<int>{5, 4, 3, 4, 5}));
  EXPECT_EQ(reds(4), (std::vector<int>{4, 3, 3, 4}));
  e.mode = 9, e.mirror = 200;
  EXPECT_EQ(reds(4), (std::vector<int>{251, 252, 252, 251}));
}

}  // namespace
}  // namespace vz::test
