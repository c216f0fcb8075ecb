// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <cstdint>

namespace vz {

struct VideoEngine;

// The look fields a frame is processed with, as a recall sets them.
struct LookFields {
  std::uint8_t mode = 0, invertRed = 0, invertGreen = 0, invertBlue = 0, mirror = 0;
  std::int32_t palette[3][16] = {};
  std::int32_t settings[20] = {};

  static LookFields of(const VideoEngine& engine);  // the live fields
  bool operator==(const LookFields&) const = default;
};

// A recall due at a beat, handed to the streaming thread ahead of time so the frame nearest
// the beat shows it however late the GUI thread gets round to it. The GUI thread stages (and
// makes the recall itself afterwards, which writes the same values and refreshes the
// controls); the streaming thread takes it without waiting: one side backs off whenever the
// other holds it.
class StagedLook {
 public:
  // Not part of an engine's value: a copied engine starts with nothing staged.
  StagedLook() = default;
  StagedLook(const StagedLook&) {}
  StagedLook& operator=(const StagedLook&) { return *this; }

  // GUI thread. False when the streaming thread is applying the previous one this moment (try
  // again later).
  bool stage(const LookFields& look, std::int64_t dueNs);
  void cancel();  // GUI thread
  std::int64_t stagedDue() const { return due_.load(std::memory_order_relaxed); }
  bool pending() const { return state_.load(std::memory_order_acquire) == kReady; }

  // Streaming thread, before a frame at `nowNs`: applies the staged look when this is the
  // frame nearest its time (later than half a frame interval before it). True when applied.
  bool applyIfDue(VideoEngine& engine, std::int64_t nowNs);

 private:
  enum : int { kEmpty, kWriting, kReady, kReading };
  std::atomic<int> state_{kEmpty};
  std::atomic<std::int64_t> due_{0};
  LookFields look_;               // written only in kWriting, read only in kReading
  std::int64_t lastFrameNs_ = 0;  // streaming thread
};

}  // namespace vz
