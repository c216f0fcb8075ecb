// SPDX-License-Identifier: GPL-3.0-or-later
#include "tempo/midi_clock.h"

#include <cmath>

namespace vz {

namespace {

// Two beats of clocks in the fit while the tempo holds: a line through them leaves the jitter
// of a MIDI system's period well under 0.1 BPM. When the last beat's own line disagrees, the
// tempo changed: the older clocks go, and a new tempo is followed within a beat.
constexpr std::size_t kWindow = 2 * MidiClockFollower::kClocksPerBeat + 1;
constexpr std::size_t kRecent = MidiClockFollower::kClocksPerBeat + 1;
constexpr double kChange = 0.01;

// Least squares of time against clock number over times[from..]: the interval and the fitted
// time of the last clock; the interval is 0 with fewer than two clocks.
struct Line {
  double interval = 0.0;
  double lastNs = 0.0;
};

Line fitLine(const std::deque<std::int64_t>& times, std::size_t from) {
  const std::size_t m = times.size() - from;
  if (m < 2) return {};
  double sx = 0, sy = 0, sxx = 0, sxy = 0;
  for (std::size_t i = 0; i < m; ++i) {
    const double x = static_cast<double>(i), y = static_cast<double>(times[from + i] - times[from]);
    sx += x, sy += y, sxx += x * x, sxy += x * y;
  }
  const double count = static_cast<double>(m);
  const double slope = (count * sxy - sx * sy) / (count * sxx - sx * sx);
  const double intercept = (sy - slope * sx) / count;
  return {slope, static_cast<double>(times[from]) + intercept + slope * (count - 1)};
}
constexpr std::int64_t kGapNs = 1'000'000'000;  // clocks resumed after a gap: a new tempo

}  // namespace

void MidiClockFollower::reset() {
  times_.clear();
  shortWindow_ = 0;
  running_ = true;
  positioned_ = false;
  position_ = 0;
  bpm_ = 0.0;
  fittedLastNs_ = 0.0;
}

void MidiClockFollower::feed(std::uint8_t status, std::uint8_t data1, std::uint8_t data2,
                             std::int64_t ns) {
  switch (status) {
    case 0xF8:
      onClock(ns);
      break;
    case 0xFA:  // Start: the next clock is the song's first beat
      running_ = true;
      positioned_ = true;
      position_ = 0;
      break;
    case 0xFB:  // Continue from the song position
      running_ = true;
      positioned_ = true;
      break;
    case 0xFC:  // Stop: hold the beat where it is
      if (running_) clock_.stop();
      running_ = false;
      if (!positioned_) {
        positioned_ = true;
        ++position_;  // a Continue goes on with the clock after the last one counted
      }
      break;
    case 0xF2:  // Song Position: sixteenths, 6 clocks each
      position_ = 6 * ((static_cast<std::int64_t>(data2 & 0x7F) << 7) | (data1 & 0x7F));
      positioned_ = true;
      break;
    default:
      break;
  }
}

void MidiClockFollower::onClock(std::int64_t ns) {
  if (!times_.empty() && (ns - times_.back() > kGapNs || ns <= times_.back())) times_.clear();
  times_.push_back(ns);
  // For a beat after a change only the last beat counts, so no clock of the old tempo stays.
  if (shortWindow_ > 0) --shortWindow_;
  while (times_.size() > (shortWindow_ > 0 ? kRecent : kWindow)) times_.pop_front();
  if (positioned_)
    positioned_ = false;  // this clock is position_ itself
  else
    ++position_;
  fit();
  if (running_ && bpm_ > 0.0)
    clock_.set(bpm_, static_cast<std::int64_t>(std::llround(fittedLastNs_)),
               static_cast<double>(position_) / kClocksPerBeat);
}

void MidiClockFollower::fit() {
  Line line = fitLine(times_, 0);
  if (times_.size() > kRecent) {
    const Line recent = fitLine(times_, times_.size() - kRecent);
    if (std::abs(recent.interval - line.interval) > kChange * line.interval) {
      times_.erase(times_.begin(), times_.end() - static_cast<std::ptrdiff_t>(kRecent));
      shortWindow_ = static_cast<int>(kRecent);
      line = recent;
    }
  }
  if (!(line.interval > 0.0)) return;
  bpm_ = 60e9 / (line.interval * kClocksPerBeat);
  fittedLastNs_ = line.lastNs;
}

}  // namespace vz
