// SPDX-License-Identifier: GPL-3.0-or-later
#include "tempo/midi_clock.h"

#include <cmath>

namespace vz {

namespace {

// One beat of clocks in the fit: a new tempo fills it within a beat, and a line through 25
// clock times leaves a jitter of a period of the MIDI system well under 0.1 BPM.
constexpr std::size_t kWindow = MidiClockFollower::kClocksPerBeat + 1;
constexpr std::int64_t kGapNs = 1'000'000'000;  // clocks resumed after a gap: a new tempo

}  // namespace

void MidiClockFollower::reset() {
  times_.clear();
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
  if (times_.size() > kWindow) times_.pop_front();
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
  const std::size_t m = times_.size();
  if (m < 2) return;
  // Least squares of time against clock number, relative to the first clock for precision.
  double sx = 0, sy = 0, sxx = 0, sxy = 0;
  for (std::size_t i = 0; i < m; ++i) {
    const double x = static_cast<double>(i), y = static_cast<double>(times_[i] - times_[0]);
    sx += x, sy += y, sxx += x * x, sxy += x * y;
  }
  const double count = static_cast<double>(m);
  const double slope = (count * sxy - sx * sy) / (count * sxx - sx * sx);
  if (!(slope > 0.0)) return;
  const double intercept = (sy - slope * sx) / count;
  bpm_ = 60e9 / (slope * kClocksPerBeat);
  fittedLastNs_ = static_cast<double>(times_[0]) + intercept + slope * (count - 1);
}

}  // namespace vz
