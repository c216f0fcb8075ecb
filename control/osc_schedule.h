// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <vector>

#include "control/controller_actions.h"

namespace vz {

// Requests from bundles timed in the future, waiting on the OSC thread for their moment on
// the steady clock. Those due at one moment come out in the order they went in.
class OscSchedule {
 public:
  static constexpr size_t kLimit = 4096;  // a flood of timed bundles cannot grow it further

  // False, and the request dropped, when kLimit are already waiting.
  bool add(std::int64_t steadyNs, const ControllerAction& action);
  // Everything due at `nowNs`, oldest moment first.
  std::vector<ControllerAction> takeDue(std::int64_t nowNs);
  // The moment the next one falls due.
  std::optional<std::int64_t> next() const;
  size_t size() const { return waiting_.size(); }

 private:
  std::multimap<std::int64_t, ControllerAction> waiting_;  // equal keys keep their order
};

}  // namespace vz
