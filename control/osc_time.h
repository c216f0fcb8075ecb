// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

namespace vz {

// An OSC time tag: seconds since 1900 (UTC) in the high 32 bits, the fraction of a second in
// the low 32. 1 means "immediately"; a message outside any bundle is taken as that, and so is
// 0, which senders that leave the tag unset send (read as a time it would lie in 2036).
using OscTimeTag = std::uint64_t;
constexpr OscTimeTag kOscImmediately = 1;

// How far ahead a bundle may be timed: one timed later is ignored (its sender's clock is
// most likely wrong, and a look arriving minutes late surprises more than one that never
// comes).
constexpr std::int64_t kOscMaxAheadNs = 10'000'000'000;

// The time tag of a bundle inside one timed `outer`: never earlier than the bundle around it
// ("immediately" inside a timed bundle is the outer bundle's time).
OscTimeTag oscInnerTime(OscTimeTag outer, OscTimeTag inner);

// The two clocks at one moment: the system's (nanoseconds since 1970, UTC, what time tags
// count from) and the steady one the OSC thread waits on.
struct OscClockReading {
  std::int64_t systemNs;
  std::int64_t steadyNs;
};
OscClockReading oscClockNow();

// When a message with that time tag runs, on the steady clock.
struct OscWhen {
  enum class Kind { Now, At, TooFar } kind;  // Now: "immediately" or already past
  std::int64_t steadyNs = 0;                 // for At
  std::int64_t aheadNs = 0;                  // for At and TooFar: how far in the future
};
// Tags are read in the era of `now` (seconds wrap in 2036): within 68 years either side.
OscWhen oscWhen(OscTimeTag tag, OscClockReading now);

// The tag `aheadNs` after `now` (for tests and senders).
OscTimeTag oscTimeTagAfter(OscClockReading now, std::int64_t aheadNs);

}  // namespace vz
