#include <gtest/gtest.h>

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

}  // namespace
}  // namespace vz
