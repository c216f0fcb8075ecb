// SPDX-License-Identifier: GPL-3.0-or-later
#include "control/osc_schedule.h"

namespace vz {

bool OscSchedule::add(std::int64_t steadyNs, const ControllerAction& action) {
  if (waiting_.size() >= kLimit) return false;
  waiting_.emplace(steadyNs, action);
  return true;
}

std::vector<ControllerAction> OscSchedule::takeDue(std::int64_t nowNs) {
  std::vector<ControllerAction> due;
  const auto end = waiting_.upper_bound(nowNs);
  for (auto it = waiting_.begin(); it != end; ++it) due.push_back(it->second);
  waiting_.erase(waiting_.begin(), end);
  return due;
}

std::optional<std::int64_t> OscSchedule::next() const {
  if (waiting_.empty()) return std::nullopt;
  return waiting_.begin()->first;
}

}  // namespace vz
