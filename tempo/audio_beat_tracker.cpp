// SPDX-License-Identifier: GPL-3.0-or-later
#include "tempo/audio_beat_tracker.h"

#include <aubio/aubio.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "tempo/tempo_clock.h"

namespace vz {
namespace {

constexpr uint_t kWindow = 1024, kHop = 256;        // about 5 ms steps at 48 kHz
constexpr std::int64_t kHistoryNs = 8'000'000'000;  // onsets older than this leave the fit
constexpr double kFitTolerance = 0.15;  // of a period: off-beats (half a period) stay out
constexpr double kWeakHit = 0.3;        // of the strongest onset: an off-beat, not a beat
constexpr std::int64_t kLoudestWithinNs = 3'000'000'000;
constexpr int kMinFitted = 4;  // onsets on the grid before it counts
constexpr double kMinBpm = 40, kMaxBpm = 250;
constexpr double kFoldAbove = 200;
constexpr std::int64_t kRelockNs = 4'000'000'000;  // no beat on the grid this long: take a new one

}  // namespace

struct AudioBeatTracker::Aubio {
  explicit Aubio(uint_t rate)
      : tempo(new_aubio_tempo("default", kWindow, kHop, rate)),
        onset(new_aubio_onset("default", kWindow, kHop, rate)),
        in(new_fvec(kHop)),
        tempoOut(new_fvec(2)),
        onsetOut(new_fvec(1)) {
    // aubio drops a beat or onset whose own hop is quiet, and a click track is quiet between
    // clicks; loudness is no business of a tempo follower. -inf: nothing is silence.
    if (tempo) aubio_tempo_set_silence(tempo, -std::numeric_limits<smpl_t>::infinity());
    if (onset) aubio_onset_set_silence(onset, -std::numeric_limits<smpl_t>::infinity());
  }
  ~Aubio() {
    if (tempo) del_aubio_tempo(tempo);
    if (onset) del_aubio_onset(onset);
    del_fvec(in);
    del_fvec(tempoOut);
    del_fvec(onsetOut);
  }
  aubio_tempo_t* tempo;
  aubio_onset_t* onset;
  fvec_t* in;
  fvec_t* tempoOut;
  fvec_t* onsetOut;
  std::uint64_t samples = 0;  // fed to aubio so far
};

AudioBeatTracker::AudioBeatTracker(int sampleRate, TempoClock* clock)
    : rate_(sampleRate), clock_(clock), aubio_(new Aubio(static_cast<uint_t>(sampleRate))) {
  pending_.reserve(kHop);
}

AudioBeatTracker::~AudioBeatTracker() {
  delete aubio_;
}

void AudioBeatTracker::feed(const float* samples, std::size_t count, std::int64_t firstNs) {
  if (aubio_->tempo == nullptr || aubio_->onset == nullptr) return;
  const double nsPerSample = 1e9 / rate_;
  for (std::size_t i = 0; i < count; ++i) {
    if (pending_.empty()) pendingNs_ = firstNs + std::llround(i * nsPerSample);
    pending_.push_back(samples[i]);
    if (pending_.size() < kHop) continue;
    for (uint_t k = 0; k < kHop; ++k) aubio_->in->data[k] = pending_[k];
    pending_.clear();
    hop(pendingNs_ + std::llround(kHop * nsPerSample));
  }
}

void AudioBeatTracker::hop(std::int64_t hopEndNs) {
  aubio_tempo_do(aubio_->tempo, aubio_->in, aubio_->tempoOut);
  aubio_onset_do(aubio_->onset, aubio_->in, aubio_->onsetOut);
  aubio_->samples += kHop;
  if (aubio_->onsetOut->data[0] == 0) return;
  // aubio counts the onset in samples since the start, its detection delay already taken off.
  const double back = static_cast<double>(aubio_->samples) - aubio_onset_get_last(aubio_->onset);
  onset(hopEndNs - std::llround(back * 1e9 / rate_), aubio_onset_get_descriptor(aubio_->onset));
}

void AudioBeatTracker::onset(std::int64_t ns, double strength) {
  while (!onsets_.empty() && onsets_.front().ns < ns - kHistoryNs) onsets_.pop_front();
  // Hits much weaker than the strongest of the last seconds (an off-beat hi-hat beside the
  // kick) are left out: with them the grid could settle half a beat off. Only the last seconds:
  // one loud bang (a dropped needle) must not silence the beats for long.
  double strongest = strength;
  for (const Onset& o : onsets_)
    if (o.ns >= ns - kLoudestWithinNs) strongest = std::max(strongest, o.strength);
  std::erase_if(onsets_, [&](const Onset& o) { return o.strength < kWeakHit * strongest; });
  if (strength < kWeakHit * strongest) return;
  onsets_.push_back({ns, strength});
  double bpm = aubio_tempo_get_bpm(aubio_->tempo);
  // The tracker now and then counts every half beat (a 128 track as 256): dance music lies
  // below 200 BPM, so such a count is folded back to the beat.
  while (bpm > kFoldAbove) bpm /= 2;
  if (!(bpm >= kMinBpm && bpm <= kMaxBpm)) return;
  std::optional<BeatGrid> found = fit(60e9 / bpm);
  if (found) found = fit(60e9 / found->bpm);  // once more on the finer period
  if (!found) return;
  if (grid_) {
    // A grid in place moves only by whole beats: onsets between the beats (an off-beat hi-hat)
    // fit a grid of their own, half a beat off, until the beat itself is heard again.
    const double beats = (found->beatNs - grid_->beatNs) / (60e9 / found->bpm);
    if (std::abs(beats - std::round(beats)) > kFitTolerance &&
        found->beatNs - grid_->beatNs < kRelockNs)
      return;
    found->beatIndex = grid_->beatIndex + std::round(beats);
  }
  grid_ = found;
  if (clock_ != nullptr) clock_->set(grid_->bpm, grid_->beatNs, grid_->beatIndex);
}

// Least squares t = a + n * period over the onsets that lie near a whole number n of periods
// from the latest one; the beat is the fitted time of n = 0.
std::optional<BeatGrid> AudioBeatTracker::fit(double periodNs) const {
  const std::int64_t last = onsets_.back().ns;
  double sn = 0, st = 0, snn = 0, snt = 0;
  int count = 0;
  double lowest = 0;
  for (const Onset& o : onsets_) {
    const std::int64_t t = o.ns;
    const double x = (t - last) / periodNs;
    const double n = std::round(x);
    if (std::abs(x - n) > kFitTolerance) continue;
    const double dt = static_cast<double>(t - last);
    sn += n, st += dt, snn += n * n, snt += n * dt;
    lowest = std::min(lowest, n);
    ++count;
  }
  if (count < kMinFitted || lowest > -(kMinFitted - 1)) return std::nullopt;
  const double denominator = count * snn - sn * sn;
  if (denominator <= 0) return std::nullopt;
  const double period = (count * snt - sn * st) / denominator;
  const double at = (st - period * sn) / count;  // the fitted time of n = 0, from `last`
  const double bpm = 60e9 / period;
  if (!(bpm >= kMinBpm && bpm <= kMaxBpm)) return std::nullopt;
  BeatGrid g;
  g.bpm = bpm;
  g.beatNs = last + std::llround(at);  // fitted: steadier than any one onset
  return g;
}

}  // namespace vz
