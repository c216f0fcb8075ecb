// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <cstdint>

namespace vz {

// How a recall reaches the fade on the streaming thread, and how long fades last. The
// recaller brackets its rewrite of the look's fields (the count is odd while it writes), so
// the streaming thread tells the look before a recall from the one after and never fades
// from a half-written one. Not part of the engine's value: a copy starts fresh.
class FadeLink {
 public:
  FadeLink() = default;
  FadeLink(const FadeLink&) {}
  FadeLink& operator=(const FadeLink&) { return *this; }

  // The recaller's thread, around the field writes of one recall.
  void recallBegins() {
    recalls_.fetch_add(1, std::memory_order_relaxed);
    std::atomic_thread_fence(std::memory_order_release);
  }
  void recallEnds() { recalls_.fetch_add(1, std::memory_order_release); }
  // Even when no recall is being written; changes with every recall.
  uint32_t recalls() const { return recalls_.load(std::memory_order_acquire); }

  // Frames the next recall fades over (1 or less: it cuts). Any thread.
  void setFadeFrames(int frames) { frames_.store(frames, std::memory_order_relaxed); }
  int fadeFrames() const { return frames_.load(std::memory_order_relaxed); }
  // Whether a recall may fade: a length is set in any form.
  bool armed() const { return fadeFrames() > 1 || seconds() > 0 || beats() > 0; }

  // The program's fade length, any thread: seconds (0: off), and beats (0: off), which win
  // over the seconds while a tempo runs.
  void setSeconds(double s) { seconds_.store(s >= 0 && s <= kMaxSeconds ? s : 0); }
  double seconds() const { return seconds_.load(std::memory_order_relaxed); }
  void setBeats(double b) { beats_.store(b >= 0 && b <= kMaxBeats ? b : 0); }
  double beats() const { return beats_.load(std::memory_order_relaxed); }
  static constexpr double kMaxSeconds = 60;
  static constexpr double kMaxBeats = 64;

  // GUI thread: the fade's length in frames at this moment (the program sets it, knowing the
  // source's rate and the tempo); a recall from the panel asks it first. Null: frames as set.
  void askFramesWith(int (*framesNow)(void*), void* context) {
    framesNow_ = framesNow;
    framesNowContext_ = context;
  }
  // Refreshes the frames from the program's answer, where it gave one. GUI thread.
  void refreshFrames() {
    if (framesNow_ != nullptr) setFadeFrames(framesNow_(framesNowContext_));
  }

 private:
  std::atomic<uint32_t> recalls_{0};
  std::atomic<int> frames_{0};
  std::atomic<double> seconds_{0};
  std::atomic<double> beats_{0};
  int (*framesNow_)(void*) = nullptr;
  void* framesNowContext_ = nullptr;
};

}  // namespace vz
