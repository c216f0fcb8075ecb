// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/staged_look.h"

#include <algorithm>

#include "engine/shared_value.h"
#include "engine/video_engine.h"

namespace vz {

namespace {

constexpr std::int64_t kMaxFrameIntervalNs = 100'000'000;

}  // namespace

LookFields LookFields::of(const VideoEngine& e) {
  LookFields l;
  l.mode = loadRelaxed(e.mode);
  l.invertRed = loadRelaxed(e.invertRed);
  l.invertGreen = loadRelaxed(e.invertGreen);
  l.invertBlue = loadRelaxed(e.invertBlue);
  l.mirror = loadRelaxed(e.mirror);
  for (int k = 0; k < kPaletteSize; ++k) {
    l.palette[0][k] = loadRelaxed(e.paletteRed[k]);
    l.palette[1][k] = loadRelaxed(e.paletteGreen[k]);
    l.palette[2][k] = loadRelaxed(e.paletteBlue[k]);
  }
  for (int i = 0; i < kSettingsBlockInts; ++i) l.settings[i] = loadRelaxed(e.*kSettingsBlock[i]);
  return l;
}

bool StagedLook::stage(const LookFields& look, std::int64_t dueNs) {
  int s = state_.load(std::memory_order_acquire);
  if (s == kReading) return false;
  if (s == kReady && !state_.compare_exchange_strong(s, kWriting, std::memory_order_acquire))
    return false;  // taken by the streaming thread this moment
  if (s == kEmpty) state_.store(kWriting, std::memory_order_relaxed);
  look_ = look;
  due_.store(dueNs, std::memory_order_relaxed);
  state_.store(kReady, std::memory_order_release);
  return true;
}

void StagedLook::cancel() {
  int s = kReady;
  state_.compare_exchange_strong(s, kEmpty, std::memory_order_acq_rel);
}

bool StagedLook::applyIfDue(VideoEngine& e, std::int64_t nowNs) {
  const std::int64_t interval =
      std::clamp<std::int64_t>(nowNs - lastFrameNs_, 0, kMaxFrameIntervalNs);
  lastFrameNs_ = nowNs;
  if (state_.load(std::memory_order_acquire) != kReady) return false;
  if (nowNs + interval / 2 < due_.load(std::memory_order_relaxed)) return false;
  int s = kReady;
  if (!state_.compare_exchange_strong(s, kReading, std::memory_order_acquire)) return false;
  if (nowNs + interval / 2 < due_.load(std::memory_order_relaxed)) {  // restaged meanwhile
    state_.store(kReady, std::memory_order_release);
    return false;
  }
  const LookFields& l = look_;
  storeRelaxed(e.mode, l.mode);
  storeRelaxed(e.invertRed, l.invertRed);
  storeRelaxed(e.invertGreen, l.invertGreen);
  storeRelaxed(e.invertBlue, l.invertBlue);
  storeRelaxed(e.mirror, l.mirror);
  for (int k = 0; k < kPaletteSize; ++k) {
    storeRelaxed(e.paletteRed[k], l.palette[0][k]);
    storeRelaxed(e.paletteGreen[k], l.palette[1][k]);
    storeRelaxed(e.paletteBlue[k], l.palette[2][k]);
  }
  for (int i = 0; i < kSettingsBlockInts; ++i) storeRelaxed(e.*kSettingsBlock[i], l.settings[i]);
  state_.store(kEmpty, std::memory_order_release);
  return true;
}

}  // namespace vz
