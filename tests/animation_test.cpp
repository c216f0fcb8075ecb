#include <gtest/gtest.h>

#include <cstring>

#include "engine/rand15.h"
#include "engine/video_engine.h"

namespace vz {
namespace {

class Animation : public ::testing::Test {
 protected:
  static inline VideoEngine e;
  void SetUp() override {
    e = VideoEngine();
    e.colorCycle = 1;
  }
};

TEST_F(Animation, OverflowTurnsTheTintsTogetherAndNothingElseMoves) {
  const VideoEngine before = e;
  for (int mode : {0, 2, 4, 6, 7, 9, 200}) {
    e.mode = static_cast<uint8_t>(mode);
    e.advanceAnimation();
  }
  e.mode = 3;
  e.colorCycle = 2;  // only exactly 1 cycles
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
  bool moved[kPaletteSize][3];
  for (int k = 0; k < kPaletteSize; ++k)
    for (int c = 0; c < 3; ++c) moved[k][c] = (replay.next() & 8) != 0;
  e.advanceAnimation();
  for (int k = 0; k < kPaletteSize; ++k) {
    SCOPED_TRACE(k);
    EXPECT_EQ(e.paletteRed[k], moved[k][0] ? 255 : 254);
    EXPECT_EQ(e.cycleStepRed[k], moved[k][0] ? -1 : 1);
    EXPECT_EQ(e.paletteGreen[k], moved[k][1] ? 1 : 2);
    EXPECT_EQ(e.cycleStepGreen[k], moved[k][1] ? 1 : -1);
    EXPECT_EQ(e.paletteBlue[k], 255);
    EXPECT_EQ(e.cycleStepBlue[k], moved[k][2] ? -1 : 1);
  }
  for (int k = 0; k < kPaletteSize; ++k) e.paletteRed[k] = 0, e.cycleStepRed[k] = -1;
  for (int frame = 0; frame < 20; ++frame) e.advanceAnimation();
  for (int k = 0; k < kPaletteSize; ++k)  // black moving down stays black and turns
    EXPECT_TRUE(e.paletteRed[k] >= 0 && e.paletteRed[k] <= 20) << e.paletteRed[k];
}

}  // namespace
}  // namespace vz
