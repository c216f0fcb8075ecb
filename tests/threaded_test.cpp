// SPDX-License-Identifier: GPL-3.0-or-later
// The GUI thread writes settings, palette and presets while the streaming thread processes,
// presents and animates frames: no lock either waits on, and (under ThreadSanitizer) no race.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <random>
#include <thread>

#include "engine/engine_callback.h"
#include "engine/frame_mailbox.h"
#include "engine/shared_value.h"
#include "presets/preset_slot.h"
#include "tests/test_frames.h"

namespace vz::test {
namespace {

TEST(Threads, SettingsHammeredWhileFramesFlow) {
  static VideoEngine e;
  setUnity(e);
  storeRelaxed(e.colorCycle, 1);
  std::atomic<int> announced{0};
  FrameMailbox mailbox([&] { announced.fetch_add(1, std::memory_order_relaxed); });
  EngineCallback callback(e);
  callback.setTarget(&mailbox);
  std::atomic<bool> stop{false};
  std::atomic<int> framesDone{0};

  std::thread streaming([&] {
    Frame frame = randomFrame(64, 48, 1);
    while (!stop.load(std::memory_order_relaxed)) {
      callback.SampleCB(frame.data(), 64, 48);
      framesDone.fetch_add(1, std::memory_order_relaxed);
    }
  });

  std::mt19937 gen(5);
  volatile uint8_t seen = 0;  // the GUI reads the frames it takes, for the race check
  for (int i = 0; i < 20000 || framesDone.load() < 200; ++i) {
    auto byte = [&] { return static_cast<int>(gen() & 0xFF); };
    storeRelaxed(e.mode, gen() % 10);
    storeRelaxed(e.*kSettingsBlock[gen() % kSettingsBlockInts], byte());
    storeRelaxed(e.tintRed, gen() % 768);
    storeRelaxed(e.paletteGreen[gen() % 16], byte());
    storeRelaxed(e.invertRed, gen() & 1);
    storeRelaxed(e.mirror, gen() & 1);
    storeRelaxed(e.lowPassRed, 1 + gen() % 255);
    storeRelaxed(e.colorCycle, gen() % 4 != 0);
    if (i % 64 == 0) storeSlot(e, byte() % 26);
    if (i % 64 == 32) recallSlotFields(e, byte() % 26);
    if (i % 16 == 0) {
      const FrameMailbox::View v = mailbox.latest();
      if (v.pixels) seen = v.pixels[static_cast<size_t>(v.width) * v.height * 3 - 1];
    }
  }
  stop = true;
  streaming.join();
  EXPECT_GE(framesDone.load(), 200);
  EXPECT_GT(announced.load(), 0);
  const FrameMailbox::View last = mailbox.latest();  // the GUI always gets the newest frame
  ASSERT_NE(last.pixels, nullptr);
  EXPECT_EQ(last.width, 64);
  (void)seen;
}

// The GUI repaints while frames arrive, round after round. A round must never end with a frame
// waiting in the mailbox and no repaint queued: the preview would show it late, or never when the
// stream stops there. ThreadSanitizer cannot see this, only counting can.
TEST(Threads, EveryWaitingFrameHasARepaintQueued) {
#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
  constexpr uint32_t kRounds = 4000;
#else
  constexpr uint32_t kRounds = 100000;
#endif
  constexpr uint32_t kFramesPerRound = 16;
  std::atomic<bool> repaintQueued{false};
  // The repaint queue as the toolkit's event queue behaves: a repaint asked for stays queued
  // until the GUI takes it, and what the streaming thread did before asking is visible then.
  FrameMailbox mailbox([&] { repaintQueued.store(true, std::memory_order_release); });
  // The GUI repaints as often as it can: take the queued repaint, then the newest frame.
  auto paint = [&](uint32_t& shown) {
    if (repaintQueued.load(std::memory_order_relaxed))
      repaintQueued.exchange(false, std::memory_order_acquire);
    const FrameMailbox::View v = mailbox.latest();
    if (v.pixels) std::memcpy(&shown, v.pixels, sizeof shown);
  };
  std::atomic<uint32_t> started{0}, delivered{0};
  std::thread streaming([&] {
    Frame frame(4 * 3);
    for (uint32_t round = 1; round <= kRounds; ++round) {
      for (int spins = 0; started.load(std::memory_order_acquire) < round; ++spins)
        if (spins > 1000) std::this_thread::yield();
      for (uint32_t i = 1; i <= kFramesPerRound; ++i) {
        const uint32_t sequence = (round - 1) * kFramesPerRound + i;
        std::memcpy(frame.data(), &sequence, sizeof sequence);
        mailbox.receiveFrame(frame.data(), 4, 1);
      }
      delivered.store(round, std::memory_order_release);
    }
  });
  uint32_t shown = 0, unannounced = 0;
  for (uint32_t round = 1; round <= kRounds; ++round) {
    started.store(round, std::memory_order_release);
    for (int spins = 0; delivered.load(std::memory_order_acquire) < round; ++spins) {
      paint(shown);
      if (spins > 1000) std::this_thread::yield();
    }
    if (shown != round * kFramesPerRound && !repaintQueued.load(std::memory_order_relaxed)) {
      ++unannounced;
      repaintQueued.store(true, std::memory_order_relaxed);  // as an expose would, to go on
    }
  }
  streaming.join();
  EXPECT_EQ(unannounced, 0u) << "of " << kRounds << " rounds";
}

}  // namespace
}  // namespace vz::test
