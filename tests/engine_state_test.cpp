#include <gtest/gtest.h>

#include "engine/rand15.h"
#include "engine/video_engine.h"

namespace vz {
namespace {

TEST(EngineState, StartsWithTheDocumentedValues) {
  static const VideoEngine e;
  EXPECT_EQ(e.mode, 0);
  EXPECT_TRUE(e.fileName.empty());
  EXPECT_EQ(e.currentRed + e.currentGreen + e.currentBlue, 3 * 255);
  EXPECT_EQ(e.lowPassRed + e.lowPassGreen + e.lowPassBlue, 3);
  for (auto f : {&VideoEngine::gainRed, &VideoEngine::outputRed, &VideoEngine::colorAmount,
                 &VideoEngine::floor, &VideoEngine::tintRed, &VideoEngine::lutMaskRed})
    EXPECT_EQ(e.*f, 0);
  EXPECT_EQ(e.saveArmed + e.colorCycle + e.aviFlag + e.rampState + e.fullScreen, 0);
  for (int k = 0; k < kPaletteSize; ++k) {
    EXPECT_EQ(e.paletteRed[k], (15 - k) * 16);
    EXPECT_EQ(e.paletteGreen[k], e.paletteRed[k]);
    EXPECT_EQ(e.paletteBlue[k], e.paletteRed[k]);
    EXPECT_EQ(e.cycleStepRed[k] + e.cycleStepGreen[k] + e.cycleStepBlue[k], 3);
  }
  for (int v : e.presetStore) ASSERT_EQ(v, 0);
}

TEST(EngineState, HueWheelRunsRedGreenBlueAndAlwaysSumsTo255) {
  static const VideoEngine e;
  for (int t = 0; t < kHueSize; ++t) {
    ASSERT_EQ(e.hueRed[t] + e.hueGreen[t] + e.hueBlue[t], 255) << t;
    ASSERT_GE(std::min({e.hueRed[t], e.hueGreen[t], e.hueBlue[t]}), 0) << t;
  }
  EXPECT_EQ(e.hueRed[0], 255);
  EXPECT_EQ(e.hueGreen[256], 255);
  EXPECT_EQ(e.hueBlue[512], 255);
  EXPECT_EQ(e.hueRed[767], 255);  // back at red: the wheel closes
  EXPECT_EQ(e.hueBlue[767], 0);
  EXPECT_EQ(e.hueGreen[128], 128);
}

TEST(EngineState, RandomSequenceIsTheClassicUnseededOne) {
  Rand15 r;
  EXPECT_EQ(r.next(), 41);
  EXPECT_EQ(r.next(), 18467);
  EXPECT_EQ(r.next(), 6334);
  EXPECT_EQ(r.next(), 26500);
  r.restart();
  EXPECT_EQ(r.next(), 41);
}

}  // namespace
}  // namespace vz
