// SPDX-License-Identifier: GPL-3.0-or-later
#include "tempo/beat_schedule.h"

#include <algorithm>
#include <cmath>

namespace vz {

namespace {

// A timer set to a beat's time reads the beat back a rounding error short of it.
constexpr double kSlack = 1e-6;

}  // namespace

std::int64_t BeatSchedule::boundaryAtOrBefore(double beat) const {
  const double b = std::floor((beat + kSlack) / every_);
  return static_cast<std::int64_t>(b) * every_;
}

void BeatSchedule::setSequence(const std::string& letters, const TempoState& s,
                               std::int64_t nowNs) {
  slots_.clear();
  for (char c : letters) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (c >= 'A' && c <= 'Z') slots_.push_back(c - 'A');
  }
  next_ = 0;
  lastBoundary_ = boundaryAtOrBefore(beatAt(s, nowNs));
}

void BeatSchedule::setSequenceBeats(int beats, const TempoState& s, std::int64_t nowNs) {
  every_ = std::clamp(beats, 1, 64);
  lastBoundary_ = boundaryAtOrBefore(beatAt(s, nowNs));
}

void BeatSchedule::setQuantize(Quantize q) {
  quantize_ = q;
  if (q == Quantize::Off) held_.reset();
}

std::string BeatSchedule::sequenceLetters() const {
  std::string out;
  for (int slot : slots_) out += static_cast<char>('A' + slot);
  return out;
}

bool BeatSchedule::holdRecall(int slot, const TempoState& s, std::int64_t nowNs) {
  if (quantize_ == Quantize::Off || !s.running) return false;
  const double unit = quantize_ == Quantize::Bar ? kBeatsPerBar : 1.0;
  heldBeat_ = (std::floor(beatAt(s, nowNs) / unit + kSlack) + 1.0) * unit;
  held_ = slot;
  return true;
}

std::optional<std::int64_t> BeatSchedule::nextDue(const TempoState& s, std::int64_t nowNs) const {
  if (!s.running) return std::nullopt;
  std::optional<double> beat;
  if (!slots_.empty()) {
    const double b = beatAt(s, nowNs);
    // The boundary after the last one recalled; when the beat went back (a Start, a new
    // anchor), the next one after now.
    double next = static_cast<double>(lastBoundary_ + every_);
    if (b + kSlack < lastBoundary_) next = static_cast<double>(boundaryAtOrBefore(b) + every_);
    beat = next;
  }
  if (held_) beat = beat ? std::min(*beat, heldBeat_) : heldBeat_;
  if (!beat) return std::nullopt;
  return timeOfBeat(s, *beat);
}

std::vector<int> BeatSchedule::takeDue(const TempoState& s, std::int64_t nowNs) {
  std::vector<int> due;
  if (!s.running) return due;
  const double b = beatAt(s, nowNs);
  if (!slots_.empty()) {
    const std::int64_t boundary = boundaryAtOrBefore(b);
    if (boundary > lastBoundary_) {
      due.push_back(slots_[next_ % slots_.size()]);
      next_ = (next_ + 1) % slots_.size();
    }
    lastBoundary_ = boundary;  // also when the beat went back: wait for the next boundary
  }
  if (held_ && b + kSlack >= heldBeat_) {
    due.push_back(*held_);
    held_.reset();
  } else if (held_ && heldBeat_ - b > 2 * kBeatsPerBar) {
    // The beat jumped back (a Start): the held recall goes to the next unit from here.
    const int slot = *held_;
    held_.reset();
    holdRecall(slot, s, nowNs);
  }
  return due;
}

std::optional<Quantize> quantizeFromName(const std::string& name) {
  if (name == "off") return Quantize::Off;
  if (name == "beat") return Quantize::Beat;
  if (name == "bar") return Quantize::Bar;
  return std::nullopt;
}

const char* quantizeName(Quantize q) {
  switch (q) {
    case Quantize::Beat:
      return "beat";
    case Quantize::Bar:
      return "bar";
    case Quantize::Off:
      break;
  }
  return "off";
}

}  // namespace vz
