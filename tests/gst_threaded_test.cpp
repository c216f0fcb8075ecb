// SPDX-License-Identifier: GPL-3.0-or-later
// Properties set from other threads while frames flow through the element: no race, and
// every frame shows one whole look, never a mix of two.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <set>
#include <thread>

#include "gst/zarnix_element.h"
#include "presets/bank_file.h"
#include "presets/preset_slot.h"
#include "tests/gst_test_support.h"
#include "tests/scratch_dir.h"

namespace vz::test {
namespace {

TEST(ZarnixThreads, PresetRecallsFromOtherThreadsGiveWholeLooksPerFrame) {
  const ScratchDir dir("vz-gst-threads");
  std::mt19937 gen(3);
  auto e = std::make_unique<VideoEngine>();
  const int modes[3] = {1, 5, 7};  // overflow and LUT 2 with the low-pass on, smear
  for (int slot = 0; slot < 3; ++slot) {
    randomizeLook(*e, gen);
    setUnity(*e);
    e->mode = static_cast<uint8_t>(modes[slot]);
    e->lowPassRed = e->lowPassGreen = e->lowPassBlue = 3;
    e->lutMaskRed = 15;
    storeSlot(*e, slot);
  }
  const std::string bank = (dir / "bank.pvl").string();
  saveBankFile(bank, *e);

  const int w = 11, h = 6;
  const Frame frame = randomFrame(w, h, 8);
  std::set<Frame> looks;
  for (const char* letter : {"a", "b", "c"}) {
    Look look;
    look.fxArgs = {"--bank", bank, "--preset", letter};
    looks.insert(runFilter(look, frame, w, h));
  }
  ASSERT_EQ(looks.size(), 3u);

  GstHarness* harness = newZarnixHarness(w, h);
  g_object_set(harness->element, "bank-file", bank.c_str(), "preset", "a", nullptr);
  std::atomic<bool> stop{false};
  std::atomic<int> recalls{0};
  auto setter = [&](const char* first, const char* second) {
    while (!stop.load(std::memory_order_relaxed)) {
      for (const char* letter : {first, second}) {
        g_object_set(harness->element, "preset", letter, nullptr);
        stringProperty(harness->element, "palette");  // read while frames flow
        recalls.fetch_add(1, std::memory_order_relaxed);
      }
    }
  };
  std::thread one(setter, "a", "b"), two(setter, "c", "A");

  std::set<Frame> seen;
  int frames = 0;
  auto enough = [&] { return frames >= 300 && recalls.load() >= 1000 && seen.size() == 3; };
  for (; !enough() && frames < 100000; ++frames) {
    const Frame out = pushFrames(harness, frame, w, h);
    ASSERT_EQ(looks.count(out), 1u) << "frame " << frames << " mixes looks";
    seen.insert(out);
  }
  stop = true;
  one.join();
  two.join();
  EXPECT_EQ(seen.size(), 3u);  // the recalls reached the frames
  EXPECT_EQ(objectWarnings.load(), 0);
  gst_harness_teardown(harness);
}

}  // namespace
}  // namespace vz::test
