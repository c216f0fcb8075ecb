// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

namespace vz {

class TempoClock;

// Where the beats of an audio stream fall: a tempo and the time of one beat, both steady-clock.
struct BeatGrid {
  double bpm = 0;
  std::int64_t beatNs = 0;  // a beat, the latest one heard
  double beatIndex = 0;     // counted from the first beat found
};

// Follows the tempo and beats of mono audio. aubio's tempo tracker gives the beat period; its
// onsets, fitted to a grid of that period by least squares, give the exact tempo and where the
// beats fall (the tracker's own period is coarse, a beat or so per minute off). Each beat that
// fits moves the clock. Not thread-safe: one thread feeds it.
class AudioBeatTracker {
 public:
  AudioBeatTracker(int sampleRate, TempoClock* clock);
  ~AudioBeatTracker();
  AudioBeatTracker(const AudioBeatTracker&) = delete;
  AudioBeatTracker& operator=(const AudioBeatTracker&) = delete;

  // count samples heard from steady-clock time firstNs on, one every 1/sampleRate s.
  void feed(const float* samples, std::size_t count, std::int64_t firstNs);

  // The grid last given to the clock; none until the beat is found.
  std::optional<BeatGrid> grid() const { return grid_; }

 private:
  struct Aubio;
  void hop(std::int64_t hopEndNs);
  void onset(std::int64_t ns, double strength);
  std::optional<BeatGrid> fit(double periodNs) const;

  int rate_;
  TempoClock* clock_;
  Aubio* aubio_;
  std::vector<float> pending_;  // samples short of a whole hop
  std::int64_t pendingNs_ = 0;  // steady time of pending_[0]
  struct Onset {
    std::int64_t ns;
    double strength;  // aubio's onset descriptor
  };
  std::deque<Onset> onsets_;  // the strong ones: beats are the loudest hits
  std::optional<BeatGrid> grid_;
};

}  // namespace vz
