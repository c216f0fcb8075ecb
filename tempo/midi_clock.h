// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <deque>

#include "tempo/tempo_clock.h"

namespace vz {

// Follows a MIDI clock (24 clocks a quarter note) into the tempo clock: the tempo from a line
// fitted through the recent clock times (so the jitter of one clock's arrival does not move it),
// the phase from Start (the first clock after it is beat 0), Song Position and the count of
// clocks. Stop stops the tempo clock; Continue resumes from where the song is. Clocks that come
// without a Start (many devices send them all the time) still give the tempo, the beats counted
// from the first clock seen. One thread feeds it (the MIDI thread).
class MidiClockFollower {
 public:
  static constexpr int kClocksPerBeat = 24;
  explicit MidiClockFollower(TempoClock& clock) : clock_(clock) {}

  // Forgets every clock and position (a new start of following).
  void reset();

  // One system realtime or system common message; other messages are ignored.
  void feed(std::uint8_t status, std::uint8_t data1, std::uint8_t data2, std::int64_t ns);

  double bpm() const { return bpm_; }                  // 0 until two clocks are in
  std::int64_t position() const { return position_; }  // clocks since the song's start

 private:
  void onClock(std::int64_t ns);
  void fit();

  TempoClock& clock_;
  std::deque<std::int64_t> times_;  // recent clock times, oldest first
  int shortWindow_ = 0;             // clocks left of the beat after a change
  bool running_ = true;             // false between Stop and Start/Continue
  bool positioned_ = false;         // the next clock is `position_` (after Start, Song Position)
  std::int64_t position_ = 0;       // of the last clock counted
  double bpm_ = 0.0;
  double fittedLastNs_ = 0.0;
};

}  // namespace vz
