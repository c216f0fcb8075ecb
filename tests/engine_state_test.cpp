// SPDX-License-Identifier: GPL-3.0-or-later
// The engine's fixed tables, its random sequence, and the colour cycling run once per frame.
#include <gtest/gtest.h>

#include <cstring>

#include "engine/rand15.h"
#include "engine/video_engine.h"

namespace vz {
namespace {

TEST(EngineState, HueWheelRunsRedGreenBlueAndAlwaysSumsTo255) {
  static const VideoEngine e;
  for (int t = 0; t < kHueSize; ++t) {
    ASSERT_EQ(e.hueRed[t] + e.hueGreen[t] + e.hueBlue[t], 255) << t;
    ASSERT_GE(std::min({e.hueRed[t], e.hueGreen[t], e.hueBlue[t]}), 0) << t;
  }
  EXPECT_EQ(e.hueRed[0] + e.hueGreen[256] + e.hueBlue[512] + e.hueRed[767], 4 * 255);
  EXPECT_EQ(e.hueBlue[767], 0);  // back at red: the wheel closes
  EXPECT_EQ(e.hueGreen[128], 128);
}

TEST(EngineState, RandomSequenceIsTheClassicUnseededOne) {
  Rand15 r;
  for (int want : {41, 18467, 6334, 26500}) EXPECT_EQ(r.next(), want);
  r.restart();
  EXPECT_EQ(r.next(), 41);
}

class Animation : public ::testing::Test {
 protected:
  static inline VideoEngine e;
  void SetUp() override { e = VideoEngine(), e.colorCycle = 1; }
};

TEST_F(Animation, OverflowTurnsTheTintsTogetherAndNothingElseMoves) {
  const VideoEngine before = e;
  for (int mode : {0, 2, 4, 6, 7, 9, 200})
    e.mode = static_cast<uint8_t>(mode), e.advanceAnimation();
  e.mode = 3, e.colorCycle = 2;  // only exactly 1 cycles
  e.advanceAnimation();
  EXPECT_EQ(0, std::memcmp(e.paletteRed, before.paletteRed, sizeof e.paletteRed * 3));
  EXPECT_EQ(e.tintRed, 0);
  e.colorCycle = 1, e.mode = 1;
  e.tintRed = 767, e.tintGreen = 0, e.tintBlue = 400;
  e.advanceAnimation();
  EXPECT_EQ(e.tintRed * 1000000 + e.tintGreen * 1000 + e.tintBlue, 1401);  // 767 wraps to 0
}

// Replays the draws: an entry moves when bit 3 of its draw is set, red, green, blue per entry.
TEST_F(Animation, PaletteEntriesMoveOnTheirDrawsAndBounceInsideTheByteRange) {
  e.mode = 5;
  for (int k = 0; k < kPaletteSize; ++k) {
    e.paletteRed[k] = 254;                            // moving up reaches 255 and turns
    e.paletteGreen[k] = 2, e.cycleStepGreen[k] = -1;  // moving down reaches 1 and turns
    e.paletteBlue[k] = 255;                           // already white: stays white, never 256
  }
  Rand15 replay;
  e.advanceAnimation();
  for (int k = 0; k < kPaletteSize; ++k) {
    SCOPED_TRACE(k);
    const bool red = replay.next() & 8, green = replay.next() & 8, blue = replay.next() & 8;
    EXPECT_EQ(e.paletteRed[k] * 10 + e.cycleStepRed[k], red ? 2549 : 2541);
    EXPECT_EQ(e.paletteGreen[k] * 10 + e.cycleStepGreen[k], green ? 11 : 19);
    EXPECT_EQ(e.paletteBlue[k] * 10 + e.cycleStepBlue[k], blue ? 2549 : 2551);
  }
  for (int k = 0; k < kPaletteSize; ++k) e.paletteRed[k] = 0, e.cycleStepRed[k] = -1;
  for (int frame = 0; frame < 20; ++frame) e.advanceAnimation();
  for (int k = 0; k < kPaletteSize; ++k)  // black moving down stays black and turns
    EXPECT_TRUE(e.paletteRed[k] >= 0 && e.paletteRed[k] <= 20) << e.paletteRed[k];
}

}  // namespace
}  // namespace vz
