// SPDX-License-Identifier: GPL-3.0-or-later
// The palette editor: Range between two picked entries, and the generators.
#include <gtest/gtest.h>

#include <cstring>

#include "palette/palette_editor.h"
#include "tests/test_frames.h"

namespace vz::test {
namespace {

class Palette : public ::testing::Test {
 protected:
  static inline VideoEngine e;
  void SetUp() override { e = VideoEngine(); }
  std::vector<int> reds(int from = 0, int to = kPaletteSize) const {
    return {e.paletteRed + from, e.paletteRed + to};
  }
  void range(int first, int second) {
    armRange(e);
    pickPaletteEntry(e, first);
    pickPaletteEntry(e, second);
  }
};

TEST_F(Palette, RangeInterpolatesInEitherClickOrderAndLeavesTheUpperEnd) {
  e.paletteRed[2] = 0, e.paletteRed[5] = 100;
  e.paletteGreen[2] = 100, e.paletteGreen[5] = 0;
  range(5, 2);
  EXPECT_EQ(e.rampState, 0);
  EXPECT_EQ(reds(2, 6), (std::vector<int>{0, 33, 66, 100}));
  EXPECT_EQ(std::vector<int>(e.paletteGreen + 2, e.paletteGreen + 6),
            (std::vector<int>{100, 67, 34, 0}));
  const std::vector<int> once = reds();
  e.paletteRed[3] = e.paletteRed[4] = 7;
  range(2, 5);
  EXPECT_EQ(reds(), once);

  e = VideoEngine();  // over the default ramp: step -16 reproduces it
  e.paletteRed[0] = 250;
  range(0, 15);
  EXPECT_EQ(e.paletteRed[1] * 1000 + e.paletteRed[14] * 10 + e.paletteRed[15], 234260);
  const VideoEngine fresh;
  range(15, 0);
  EXPECT_EQ(0, std::memcmp(e.paletteGreen, fresh.paletteGreen, sizeof e.paletteGreen * 2));
}

TEST_F(Palette, RangeReArmsForgetsTheFirstEndAndSurvivesAGenerator) {
  armRange(e);
  pickPaletteEntry(e, 3);
  armRange(e);
  EXPECT_EQ(e.rampState, 1);
  pickPaletteEntry(e, 8);
  EXPECT_EQ(e.rampState, 16 + 8);
  generateLimit(e, e.paletteRandom);  // the ends are the fresh values
  const int a = e.paletteBlue[8], b = e.paletteBlue[10];
  pickPaletteEntry(e, 10);
  EXPECT_EQ(e.paletteBlue[9], a + (a < b ? (b - a) / 2 : -((a - b) / 2)));
  EXPECT_EQ(e.rampState, 0);
}

TEST_F(Palette, AdjacentOrEqualEndsAndStatesNoClickCanMakeEndIdle) {
  const std::vector<int> before = reds();
  range(6, 7);
  range(9, 9);
  EXPECT_EQ(reds(), before);
  EXPECT_EQ(e.rampState, 0);
  for (int state : {2, 15, 32, 255, -1}) {  // act as idle: the pick copies the colour
    e.rampState = state, e.currentRed = 77 + state;
    pickPaletteEntry(e, 15);
    EXPECT_EQ(e.paletteRed[15] * 1000 + e.rampState, (77 + state) * 1000) << state;
  }
}

TEST_F(Palette, GeneratorsDrawFortyEightValuesWithinTheirBounds) {
  e.currentRed = 254, e.currentGreen = 1, e.currentBlue = 1;
  generateRandom(e, e.paletteRandom);
  Rand15 after;
  for (int i = 0; i < 48; ++i) after.next();
  EXPECT_EQ(e.paletteRandom.next(), after.next());
  int anyRed = 0;
  for (int k = 0; k < kPaletteSize; ++k) {
    EXPECT_LE(e.paletteRed[k], 253);
    EXPECT_EQ(e.paletteGreen[k] + e.paletteBlue[k], 0);  // a fraction of 1 is 0
    anyRed |= e.paletteRed[k];
  }
  EXPECT_NE(anyRed, 0);

  e.currentRed = e.currentGreen = e.currentBlue = 1;
  generateRamp(e, e.paletteRandom);
  const VideoEngine fresh;
  EXPECT_EQ(0, std::memcmp(e.paletteRed, fresh.paletteRed, sizeof e.paletteRed * 3));
  for (int run = 0; run < 50; ++run) {
    generateLimit(e, e.paletteRandom);
    for (const int32_t* c : {e.paletteRed, e.paletteGreen, e.paletteBlue})
      EXPECT_TRUE(c[0] >= 240 && c[0] <= 255 && c[15] <= 30 && c[15] % 2 == 0)
          << c[0] << " " << c[15];
  }
}

}  // namespace
}  // namespace vz::test
