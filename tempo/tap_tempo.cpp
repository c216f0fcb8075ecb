// SPDX-License-Identifier: GPL-3.0-or-later
#include "tempo/tap_tempo.h"

namespace vz {

std::optional<TapTempo::Beat> TapTempo::tap(std::int64_t ns) {
  // A pause, or a clock that went backwards (taps from two sources out of order), restarts.
  if (taps_ == 0 || ns - last_ >= kPauseNs || ns <= last_) {
    taps_ = 1;
    count_ = next_ = 0;
    last_ = ns;
    return std::nullopt;
  }
  intervals_[next_] = ns - last_;
  next_ = (next_ + 1) % kMaxIntervals;
  if (count_ < kMaxIntervals) ++count_;
  ++taps_;
  last_ = ns;
  if (taps_ < kTapsNeeded) return std::nullopt;
  std::int64_t sum = 0;
  for (int i = 0; i < count_; ++i) sum += intervals_[i];
  const double meanNs = static_cast<double>(sum) / count_;
  return Beat{60e9 / meanNs, ns, static_cast<double>(taps_ - 1)};
}

}  // namespace vz
