// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>

namespace vz {

// Tap tempo: four taps in a row set the tempo (the mean of the last intervals) and put a beat
// on the last tap; a pause of two seconds starts afresh. The first tap of a run is the bar's
// first beat, so a DJ counting "one, two, three, four" lands the bar where they counted it.
class TapTempo {
 public:
  struct Beat {
    double bpm;
    std::int64_t beatNs;  // the last tap
    double beatIndex;     // taps in this run so far, less one
  };
  static constexpr int kTapsNeeded = 4;
  static constexpr int kMaxIntervals = 8;
  static constexpr std::int64_t kPauseNs = 2'000'000'000;

  // A tap at steady-clock time `ns`: the tempo once enough taps are in, else nothing.
  std::optional<Beat> tap(std::int64_t ns);
  int tapsInRun() const { return taps_; }

 private:
  std::int64_t intervals_[kMaxIntervals] = {};
  int count_ = 0;  // intervals held, up to kMaxIntervals
  int next_ = 0;   // ring position for the next interval
  int taps_ = 0;
  std::int64_t last_ = 0;
};

}  // namespace vz
