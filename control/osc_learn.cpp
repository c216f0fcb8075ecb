// SPDX-License-Identifier: GPL-3.0-or-later
#include "control/osc_learn.h"

namespace vz {

void OscLearn::arm() {
  const std::lock_guard lock(mutex_);
  target_ = nullptr;
  offered_.reset();
  address_.reset();
  armed_.store(true, std::memory_order_relaxed);
}

void OscLearn::cancel() {
  const std::lock_guard lock(mutex_);
  armed_.store(false, std::memory_order_relaxed);
  offered_.reset();
  address_.reset();
}

bool OscLearn::offer(const OscUnknown& unknown) {
  if (!armed()) return false;
  const std::lock_guard lock(mutex_);
  if (!armed_.load(std::memory_order_relaxed)) return false;
  const bool wake = !offered_;
  offered_ = unknown;
  return wake;
}

std::optional<OscLearned> OscLearn::addressOffered() {
  const std::lock_guard lock(mutex_);
  if (!offered_) return std::nullopt;
  address_ = std::move(offered_);
  offered_.reset();
  controlFirst_ = target_ != nullptr;
  return completeIfReady();
}

std::optional<OscLearned> OscLearn::controlMoved(const ControlTarget& target) {
  const std::lock_guard lock(mutex_);
  if (!armed_.load(std::memory_order_relaxed)) return std::nullopt;
  target_ = &target;
  controlFirst_ = false;
  return completeIfReady();
}

std::optional<OscLearned> OscLearn::completeIfReady() {
  if (target_ == nullptr || !address_ || !armed_.load(std::memory_order_relaxed))
    return std::nullopt;
  OscLearned learned{{address_->address, target_, address_->form}, std::nullopt};
  if (controlFirst_)
    if (auto r = oscControlRequest(*target_, {address_->value})) learned.apply = *r;
  armed_.store(false, std::memory_order_relaxed);
  target_ = nullptr;
  address_.reset();
  offered_.reset();
  return learned;
}

}  // namespace vz
