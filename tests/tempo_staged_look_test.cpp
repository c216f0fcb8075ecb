// SPDX-License-Identifier: GPL-3.0-or-later
// A recall staged for the streaming thread: taken by the frame nearest its time, replaced or
// cancelled by the GUI thread, and never seen half-written while both threads go at it.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

#include "engine/shared_value.h"
#include "engine/video_engine.h"

namespace vz {
namespace {

constexpr std::int64_t kMs = 1'000'000;

LookFields lookWith(int n) {
  LookFields l;
  l.mode = static_cast<std::uint8_t>(n % 10);
  for (int i = 0; i < 20; ++i) l.settings[i] = n;
  for (auto& channel : l.palette)
    for (auto& v : channel) v = n;
  return l;
}

TEST(StagedLook, TheFrameNearestTheBeatTakesItOnce) {
  auto engine = std::make_unique<VideoEngine>();
  StagedLook& staged = engine->stagedLook;
  const std::int64_t beat = 1000 * kMs;
  ASSERT_TRUE(staged.stage(lookWith(7), beat));
  // Frames every 33 ms: 950 is more than half a frame early, 975 is the nearest to 1000.
  EXPECT_FALSE(staged.applyIfDue(*engine, 917 * kMs));
  EXPECT_FALSE(staged.applyIfDue(*engine, 950 * kMs));
  EXPECT_TRUE(staged.applyIfDue(*engine, 984 * kMs));
  EXPECT_EQ(loadRelaxed(engine->mode), 7);
  EXPECT_EQ(loadRelaxed(engine->gainRed), 7);
  EXPECT_EQ(loadRelaxed(engine->paletteBlue[15]), 7);
  EXPECT_FALSE(staged.applyIfDue(*engine, 1017 * kMs));  // once
  // Restaged to a later beat before it was due: the later one only; cancelled: nothing.
  ASSERT_TRUE(staged.stage(lookWith(3), 1500 * kMs));
  ASSERT_TRUE(staged.stage(lookWith(4), 2000 * kMs));
  EXPECT_FALSE(staged.applyIfDue(*engine, 1517 * kMs));
  EXPECT_TRUE(staged.applyIfDue(*engine, 2000 * kMs));
  EXPECT_EQ(loadRelaxed(engine->mode), 4);
  ASSERT_TRUE(staged.stage(lookWith(5), 2500 * kMs));
  staged.cancel();
  EXPECT_FALSE(staged.applyIfDue(*engine, 2600 * kMs));
  EXPECT_EQ(loadRelaxed(engine->mode), 4);
}

TEST(StagedLook, TheStreamingThreadNeverTakesAHalfWrittenLook) {
  auto engine = std::make_unique<VideoEngine>();
  std::atomic<bool> done{false};
  std::atomic<int> applied{0}, torn{0};
  std::thread streaming([&] {
    std::int64_t t = 0;
    while (!done.load()) {
      t += kMs;
      if (engine->stagedLook.applyIfDue(*engine, t)) {
        ++applied;
        const int n = loadRelaxed(engine->gainRed);
        if (loadRelaxed(engine->colorAmount) != n || loadRelaxed(engine->paletteRed[9]) != n ||
            loadRelaxed(engine->mode) != n % 10)
          ++torn;
      }
    }
  });
  for (int n = 1; n < 5'000'000 && applied.load() < 2000; ++n)
    while (!engine->stagedLook.stage(lookWith(n), 0)) std::this_thread::yield();
  done = true;
  streaming.join();
  EXPECT_GT(applied.load(), 0);
  EXPECT_EQ(torn.load(), 0);
}

}  // namespace
}  // namespace vz
