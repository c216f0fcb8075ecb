// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/recall_watch.h"

#include <atomic>
#include <utility>

#include "engine/staged_look.h"

namespace vz {

RecallWatch::RecallWatch()
    : prior_(std::make_unique<VideoEngine>()), spare_(std::make_unique<VideoEngine>()) {}
RecallWatch::~RecallWatch() = default;

void RecallWatch::beforeFrame(const VideoEngine& engine, LookFade& fade) {
  const uint32_t recalls = engine.fadeLink.recalls();
  if (!started_) {
    // Recalls before the first frame set the starting look: nothing to fade from.
    started_ = true;
    seen_ = recalls;
    return;
  }
  if ((recalls & 1) != 0 || recalls == seen_) return;
  seen_ = recalls;
  // The look that runs already, recalled again (the GUI thread repeats a beat's recall after
  // this thread applied it on the beat): the fade in progress goes on rather than restarting
  // from the look it fades into.
  if (havePrior_ && LookFields::of(*prior_) == LookFields::of(engine)) return;
  if (havePrior_)
    fade.startFrom(*prior_, engine.fadeLink.fadeFrames());
  else
    fade.stop();
}

void RecallWatch::afterFrame(const VideoEngine& engine) {
  const uint32_t before = engine.fadeLink.recalls();
  copyLook(engine, *spare_);
  std::atomic_thread_fence(std::memory_order_acquire);
  if (before == engine.fadeLink.recalls() && before == seen_) {
    std::swap(prior_, spare_);
    havePrior_ = true;
  } else if (havePrior_) {
    // A recall came during the frame: the copy may hold some of it. The look before the
    // recall takes its step on its own instead, as it would have in the engine.
    prior_->advanceAnimation();
  }
}

}  // namespace vz
