// Worked values of the effect modes, on frames small enough to check by hand.
#include <gtest/gtest.h>

#include "tests/test_frames.h"

namespace vz::test {
namespace {

struct Rgb {
  int r, g, b;
  bool operator==(const Rgb&) const = default;
};

void PrintTo(const Rgb& c, std::ostream* os) {
  *os << "(" << c.r << ", " << c.g << ", " << c.b << ")";
}

Rgb at(const Frame& f, int width, int x, int y) {
  const size_t i = (static_cast<size_t>(y) * width + x) * 3;
  return {f[i + 2], f[i + 1], f[i]};
}

class Effects : public ::testing::Test {
 protected:
  Frame run(Frame f, int w, int h) {
    e.processFrame(f.data(), w, h);
    return f;
  }
  static inline VideoEngine e;
  void SetUp() override { e = VideoEngine(); }
};

TEST_F(Effects, SourceAndUnknownModesLeaveEveryByte) {
  const Frame f = randomFrame(13, 7, 1);
  for (int mode : {0, 10, 128, 255}) {
    e.mode = static_cast<uint8_t>(mode);
    EXPECT_EQ(run(f, 13, 7), f) << mode;
  }
}

TEST_F(Effects, FreshEngineOverflowIsBlackBecauseGainsAreZero) {
  e.mode = 1;
  EXPECT_EQ(run(randomFrame(9, 5, 2), 9, 5), Frame(9 * 5 * 3, 0));
}

TEST_F(Effects, OverflowAtUnityShiftsOnePixelDiagonallyAndScales255To254) {
  setUnity(e);
  e.mode = 1;
  const Frame in = randomFrame(6, 4, 3);
  const Frame out = run(in, 6, 4);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 6; ++x) {
      if (x == 0 || y == 0) {
        EXPECT_EQ(at(out, 6, x, y), (Rgb{0, 0, 0}));
        continue;
      }
      const Rgb was = at(in, 6, x - 1, y - 1);
      EXPECT_EQ(at(out, 6, x, y), (Rgb{was.r * 255 / 256, was.g * 255 / 256, was.b * 255 / 256}));
    }
}

TEST_F(Effects, OverflowWorkedValuesOnAUniformFrame) {
  setUnity(e);
  e.mode = 1;
  EXPECT_EQ(at(run(uniformFrame(4, 4, 200, 100, 50), 4, 4), 4, 2, 2), (Rgb{199, 99, 49}));
  e.gainRed = 24;  // 200 * 24 / 12 = 400 wraps to 144
  EXPECT_EQ(at(run(uniformFrame(4, 4, 200, 100, 50), 4, 4), 4, 2, 2), (Rgb{143, 99, 49}));
  e.gainRed = 12;
  e.tintRed = 128;
  EXPECT_EQ(at(run(uniformFrame(4, 4, 200, 0, 0), 4, 4), 4, 3, 3), (Rgb{99, 100, 0}));
}

TEST_F(Effects, OverflowWithoutColourGivesTheMeanInEveryChannel) {
  setUnity(e);
  e.mode = 1;
  e.colorAmount = 0;
  const Frame out = run(randomFrame(8, 8, 4), 8, 8);
  for (size_t i = 0; i < out.size(); i += 3) {
    EXPECT_EQ(out[i], out[i + 1]);
    EXPECT_EQ(out[i], out[i + 2]);
  }
}

TEST_F(Effects, ZeroDivisorsFromAnEmptySlotSkipTheFilterWithoutDividing) {
  VideoEngine& z = e;
  z.lowPassRed = z.lowPassGreen = z.lowPassBlue = 0;
  z.mode = 1;
  EXPECT_EQ(run(randomFrame(5, 5, 5), 5, 5), Frame(75, 0));  // gains 0: black
  z.mode = 5;  // Lut2 with a zero palette and zero colour: black too, no division by zero
  for (int k = 0; k < kPaletteSize; ++k) z.paletteRed[k] = z.paletteGreen[k] = z.paletteBlue[k] = 0;
  EXPECT_EQ(run(randomFrame(5, 5, 6), 5, 5), Frame(75, 0));
}

TEST_F(Effects, QuantizeCountsOfEightOrMoreClearTheChannel) {
  setUnity(e);
  e.mode = 1;
  e.lowPassRed = e.lowPassGreen = e.lowPassBlue = 0;
  e.quantizeRed = 8;
  e.quantizeGreen = 200;
  e.quantizeBlue = 3;
  const Rgb c = at(run(uniformFrame(2, 2, 255, 255, 255), 2, 2), 2, 1, 1);
  EXPECT_EQ(c, (Rgb{0, 0, 248 * 255 / 256}));
}

TEST_F(Effects, LutMapsWhiteToTheTopEntryAndBlackToTheBottom) {
  e.mode = 3;
  e.lutMaskRed = 15;
  e.outputRed = 32;
  EXPECT_EQ(at(run(uniformFrame(2, 2, 255, 255, 255), 2, 2), 2, 1, 1), (Rgb{240, 240, 240}));
  EXPECT_EQ(at(run(uniformFrame(2, 2, 0, 0, 0), 2, 2), 2, 1, 1), (Rgb{0, 0, 0}));
  e.invertRed = 1;  // black now takes entry 0, white entry 15
  EXPECT_EQ(at(run(uniformFrame(2, 2, 0, 0, 0), 2, 2), 2, 0, 0), (Rgb{240, 240, 240}));
  EXPECT_EQ(at(run(uniformFrame(2, 2, 255, 255, 255), 2, 2), 2, 0, 0), (Rgb{0, 0, 0}));
  e.invertRed = 2;  // only a byte of exactly 1 inverts
  EXPECT_EQ(at(run(uniformFrame(2, 2, 0, 0, 0), 2, 2), 2, 0, 0), (Rgb{0, 0, 0}));
}

TEST_F(Effects, LutMasksSelectEveryOtherEntryAndStoreTheLowByteOfThePalette) {
  e.mode = 3;
  e.outputRed = 32;
  for (int k = 0; k < kPaletteSize; ++k) e.paletteRed[k] = 256 + k, e.paletteGreen[k] = -k;
  e.lutMaskRed = 30;  // y = 16 has level 1, which mask 30 drops: entry 15
  EXPECT_EQ(at(run(uniformFrame(1, 1, 16, 16, 16), 1, 1), 1, 0, 0).r, 15);
  EXPECT_EQ(at(run(uniformFrame(1, 1, 32, 32, 32), 1, 1), 1, 0, 0), (Rgb{13, 256 - 13, 32}));
}

TEST_F(Effects, Lut2RewritesAllThreeBytesWithTheSaturatedEntry) {
  e.mode = 5;
  e.outputRed = 32;
  e.lutMaskRed = 15;
  e.paletteRed[0] = 250, e.paletteGreen[0] = 10, e.paletteBlue[0] = 40;  // white's entry
  e.colorAmount = 50;                                                    // halfway to the mean, 100
  const Frame out = run(uniformFrame(3, 3, 255, 255, 255), 3, 3);
  // The filter's lag puts black (entry 15, grey 0) in the first row and column.
  EXPECT_EQ(at(out, 3, 0, 0), (Rgb{0, 0, 0}));
  EXPECT_EQ(at(out, 3, 2, 2), (Rgb{175, 55, 70}));
}

TEST_F(Effects, BwInvertAndGreenBlueGreyTakeTheirMeans) {
  e.mode = 2;
  EXPECT_EQ(at(run(uniformFrame(1, 1, 10, 20, 31), 1, 1), 1, 0, 0), (Rgb{20, 20, 20}));
  e.invertRed = 1;
  EXPECT_EQ(at(run(uniformFrame(1, 1, 10, 20, 31), 1, 1), 1, 0, 0), (Rgb{235, 235, 235}));
  e.mode = 8;
  EXPECT_EQ(at(run(uniformFrame(1, 1, 200, 20, 31), 1, 1), 1, 0, 0), (Rgb{25, 25, 25}));
}

TEST_F(Effects, ColorInvertFlipsOnlyChannelsWhoseSwitchIsOne) {
  e.mode = 4;
  e.invertRed = 1, e.invertGreen = 0, e.invertBlue = 7;
  EXPECT_EQ(at(run(uniformFrame(3, 1, 10, 20, 30), 3, 1), 3, 2, 0), (Rgb{245, 20, 30}));
}

TEST_F(Effects, NegativeTwiceGivesTheFrameBack) {
  e.mode = 9;
  const Frame f = randomFrame(7, 3, 8);
  EXPECT_EQ(run(run(f, 7, 3), 7, 3), f);
}

TEST_F(Effects, EmbossOnAFlatFrameIsMidGreyButForTheFirstTwoPixels) {
  e.mode = 6;
  const Frame out = run(uniformFrame(5, 2, 100, 60, 9), 5, 2);
  for (int y = 0; y < 2; ++y) {
    EXPECT_EQ(at(out, 5, 0, y), (Rgb{100, 60, 9}));
    EXPECT_EQ(at(out, 5, 1, y), (Rgb{208, 208, 208}));  // 160 - 80 + 128
    for (int x = 2; x < 5; ++x) EXPECT_EQ(at(out, 5, x, y), (Rgb{128, 128, 128}));
  }
}

TEST_F(Effects, EmbossClampsSteepEdges) {
  e.mode = 6;
  Frame f = uniformFrame(3, 1, 0, 0, 0);
  f[5] = f[4] = 255;  // pixel 1 white: +510 from pixel 0, then -510 to pixel 2
  const Frame out = run(f, 3, 1);
  EXPECT_EQ(at(out, 3, 1, 0).r, 255);
  EXPECT_EQ(at(out, 3, 2, 0).r, 1);
}

TEST_F(Effects, SmearAveragesTheFourFollowingPixelsAndLeavesTheTail) {
  e.mode = 7;
  Frame f(4 * 3 * 3);
  for (size_t i = 0; i < f.size(); ++i) f[i] = static_cast<uint8_t>(i * 4);
  const Frame in = f;
  const Frame out = run(f, 4, 3);
  // Runs of W - 2 = 2 pixels start at pixels 0, 3, 6; the last H + 1 = 4 pixels stay.
  for (int p : {0, 1, 3, 4, 6, 7})
    for (int c = 0; c < 3; ++c) {
      const int i = 3 * p + c;
      EXPECT_EQ(out[i], (in[i + 3] + in[i + 6] + in[i + 9] + in[i + 12]) >> 2) << p;
    }
  for (int p : {2, 5, 8, 9, 10, 11})
    for (int c = 0; c < 3; ++c) EXPECT_EQ(out[3 * p + c], in[3 * p + c]) << p;
}

TEST_F(Effects, SmearLeavesFramesOfFewerThanThreeRowsOrColumns) {
  e.mode = 7;
  for (auto [w, h] : {std::pair{2, 9}, std::pair{9, 2}, std::pair{1, 1}}) {
    const Frame f = randomFrame(w, h, 9);
    EXPECT_EQ(run(f, w, h), f) << w << "x" << h;
  }
}

TEST_F(Effects, MirrorCopiesTheRightHalfOntoTheLeftInEveryMode) {
  e.mirror = 1;
  Frame five = uniformFrame(5, 1, 0, 0, 0), four = uniformFrame(4, 1, 0, 0, 0);
  for (int p = 0; p < 5; ++p) five[3 * p + 2] = static_cast<uint8_t>(p + 1);
  for (int p = 0; p < 4; ++p) four[3 * p + 2] = static_cast<uint8_t>(p + 1);
  auto reds = [](const Frame& f) {
    std::vector<int> r;
    for (size_t i = 2; i < f.size(); i += 3) r.push_back(f[i]);
    return r;
  };
  EXPECT_EQ(reds(run(five, 5, 1)), (std::vector<int>{5, 4, 3, 4, 5}));
  EXPECT_EQ(reds(run(four, 4, 1)), (std::vector<int>{4, 3, 3, 4}));
  e.mode = 9;
  e.mirror = 200;
  EXPECT_EQ(reds(run(four, 4, 1)), (std::vector<int>{251, 252, 252, 251}));
}

TEST_F(Effects, DegenerateFramesAreIgnored) {
  e.mode = 1;
  e.processFrame(nullptr, 10, 10);
  Frame f(3, 7);
  e.processFrame(f.data(), 0, 1);
  e.processFrame(f.data(), 1, -1);
  EXPECT_EQ(f, Frame(3, 7));
}

}  // namespace
}  // namespace vz::test
