// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

namespace vz {

// The classic 15-bit linear congruential sequence, never seeded: the first draw is 41.
// Each thread that draws owns one (palette editor on the GUI thread, colour cycling on
// the streaming thread), so the two sequences stay independent.
class Rand15 {
 public:
  int next() noexcept {
    state_ = state_ * 214013u + 2531011u;
    return static_cast<int>((state_ >> 16) & 0x7FFF);
  }
  void restart() noexcept { state_ = 1; }

 private:
  uint32_t state_ = 1;
};

}  // namespace vz
