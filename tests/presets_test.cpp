#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "presets/preset_slot.h"
#include "tests/test_frames.h"

namespace vz::test {
namespace {

class Presets : public ::testing::Test {
 protected:
  static inline VideoEngine e;
  void SetUp() override { e = VideoEngine(); }
};

TEST_F(Presets, StoreThenRecallRestoresEveryFieldOfTheLook) {
  std::mt19937 gen(3);
  randomizeLook(e, gen);
  e.mode = 5, e.mirror = 1, e.invertGreen = 1;
  e.currentRed = 9, e.currentGreen = 8, e.currentBlue = 7, e.rampState = 17;
  e.tintRed = 700;  // ints are kept whole in the store
  storeSlot(e, 6);
  const VideoEngine stored = e;

  VideoEngine& live = e;
  live.mode = 0, live.mirror = 0, live.invertGreen = 0, live.rampState = 0;
  for (int i = 0; i < kSettingsBlockInts; ++i) live.*kSettingsBlock[i] = -1;
  for (int k = 0; k < kPaletteSize; ++k) live.paletteRed[k] = live.paletteBlue[k] = 3;
  live.colorCycle = 1;
  recallSlotFields(live, 6);

  for (int i = 0; i < kSettingsBlockInts; ++i)
    EXPECT_EQ(live.*kSettingsBlock[i], stored.*kSettingsBlock[i]) << i;
  EXPECT_EQ(0, std::memcmp(live.paletteRed, stored.paletteRed, sizeof live.paletteRed * 3));
  EXPECT_EQ(live.mode, 5);
  EXPECT_EQ(live.mirror, 1);
  EXPECT_EQ(live.invertGreen, 1);
  EXPECT_EQ(live.invertRed, stored.invertRed);
  EXPECT_EQ(live.currentRed + live.currentGreen + live.currentBlue, 24);
  EXPECT_EQ(live.rampState, 17);
  EXPECT_EQ(live.colorCycle, 1);  // not part of a look
}

TEST_F(Presets, SlotLayoutIsTheBankContract) {
  e.tintRed = 11, e.gainRed = 12, e.colorAmount = 76, e.tintGreen = 74, e.tintBlue = 75;
  e.mode = 3, e.mirror = 52;
  e.paletteBlue[15] = 47;
  storeSlot(e, 1);
  const int32_t* slot = e.presetStore + kSlotInts;
  // Palette, mode, mirror, current colour (starts white), then the settings block.
  const std::pair<int, int> layout[] = {{47, 47}, {48, 3}, {52, 52}, {53, 255}, {57, 11},
                                        {58, 12}, {62, 1}, {74, 74}, {75, 75},  {76, 76}};
  for (const auto& [index, value] : layout) EXPECT_EQ(slot[index], value) << index;
  for (int i = kSlotUsed; i < kSlotInts; ++i) EXPECT_EQ(slot[i], 0) << i;
  for (int i = 0; i < kSlotInts; ++i) EXPECT_EQ(e.presetStore[i], 0) << i;  // slot A untouched
}

TEST_F(Presets, StoreLeavesTheReservedTailAndRecallNarrowsByteFields) {
  int32_t* slot = e.presetStore + 2 * kSlotInts;
  for (int i = 0; i < kSlotInts; ++i) slot[i] = 1000 + i;
  slot[kSlotMode] = 0x107;  // a wide value narrows to its low byte
  recallSlotFields(e, 2);
  EXPECT_EQ(e.mode, 7);
  EXPECT_EQ(e.invertRed, (1000 + kSlotInvertRed) & 0xFF);
  EXPECT_EQ(e.tintRed, 1000 + kSlotSettings);
  storeSlot(e, 2);
  for (int i = kSlotUsed; i < kSlotInts; ++i) EXPECT_EQ(slot[i], 1000 + i);
  EXPECT_EQ(slot[kSlotMode], 7);
}

}  // namespace
}  // namespace vz::test
