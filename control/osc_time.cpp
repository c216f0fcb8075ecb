// SPDX-License-Identifier: GPL-3.0-or-later
#include "control/osc_time.h"

#include <chrono>

namespace vz {

namespace {

constexpr std::uint64_t kSecondsFrom1900To1970 = 2'208'988'800;
constexpr std::int64_t kNsPerSecond = 1'000'000'000;

// The system time as a time tag, its seconds wrapped into their 32 bits.
OscTimeTag tagOf(std::int64_t systemNs) {
  std::int64_t seconds = systemNs / kNsPerSecond, ns = systemNs % kNsPerSecond;
  if (ns < 0) --seconds, ns += kNsPerSecond;
  const std::uint64_t fraction = (static_cast<std::uint64_t>(ns) << 32) / kNsPerSecond;
  return ((static_cast<std::uint64_t>(seconds) + kSecondsFrom1900To1970) << 32) | fraction;
}

// b - a in nanoseconds, as 32.32 fixed point read with a sign (so across an era's end).
std::int64_t nsBetween(OscTimeTag a, OscTimeTag b) {
  const auto diff = static_cast<std::int64_t>(b - a);
  const std::int64_t seconds = diff >> 32;  // rounds toward minus infinity
  const auto fraction = static_cast<std::uint64_t>(diff) & 0xFFFFFFFFu;
  return seconds * kNsPerSecond + static_cast<std::int64_t>((fraction * kNsPerSecond) >> 32);
}

}  // namespace

OscTimeTag oscInnerTime(OscTimeTag outer, OscTimeTag inner) {
  if (inner <= kOscImmediately) return outer;
  if (outer <= kOscImmediately) return inner;
  return static_cast<std::int64_t>(inner - outer) < 0 ? outer : inner;
}

OscClockReading oscClockNow() {
  using namespace std::chrono;
  return {duration_cast<nanoseconds>(system_clock::now().time_since_epoch()).count(),
          duration_cast<nanoseconds>(steady_clock::now().time_since_epoch()).count()};
}

OscWhen oscWhen(OscTimeTag tag, OscClockReading now) {
  if (tag <= kOscImmediately) return {OscWhen::Kind::Now};
  const std::int64_t ahead = nsBetween(tagOf(now.systemNs), tag);
  if (ahead <= 0) return {OscWhen::Kind::Now};
  if (ahead > kOscMaxAheadNs) return {OscWhen::Kind::TooFar, 0, ahead};
  return {OscWhen::Kind::At, now.steadyNs + ahead, ahead};
}

OscTimeTag oscTimeTagAfter(OscClockReading now, std::int64_t aheadNs) {
  const OscTimeTag base = tagOf(now.systemNs);
  const std::uint64_t span =
      aheadNs < 0 ? 0 - static_cast<std::uint64_t>(aheadNs) : static_cast<std::uint64_t>(aheadNs);
  // Rounded up, so a tag ahead is never read back as earlier than asked for.
  const std::uint64_t ns = span % kNsPerSecond;
  const std::uint64_t delta =
      ((span / kNsPerSecond) << 32) + ((ns << 32) + kNsPerSecond - 1) / kNsPerSecond;
  return aheadNs < 0 ? base - delta : base + delta;
}

}  // namespace vz
