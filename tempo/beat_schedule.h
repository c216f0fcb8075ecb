// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tempo/tempo_clock.h"

namespace vz {

enum class Quantize { Off, Beat, Bar };

// The recalls the beat makes: a sequence of slots, one every N beats on the beat, and recalls
// held back to the next beat or bar. Pure bookkeeping against a tempo state and a time, so
// the owner decides when to look (a timer set to nextDue()) and tests inject both.
class BeatSchedule {
 public:
  // Letters A..Z (either case); anything else is left out. Empty: no sequence. The first
  // recall falls on the next boundary of `beats`.
  void setSequence(const std::string& letters, const TempoState& s, std::int64_t nowNs);
  void setSequenceBeats(int beats, const TempoState& s, std::int64_t nowNs);  // 1..64
  void setQuantize(Quantize q);

  const std::vector<int>& sequence() const { return slots_; }
  std::string sequenceLetters() const;
  int sequenceBeats() const { return every_; }
  Quantize quantize() const { return quantize_; }

  // A recall asked for at `nowNs`: true when it must wait (quantized, with a running tempo);
  // a later one replaces it. False: recall it now.
  bool holdRecall(int slot, const TempoState& s, std::int64_t nowNs);
  std::optional<int> heldRecall() const { return held_; }

  // When the next recall falls, if any (a stopped tempo has none).
  std::optional<std::int64_t> nextDue(const TempoState& s, std::int64_t nowNs) const;
  // The slots due by `nowNs`, in the order to recall them (the sequence's first, a held
  // recall last: the user's own choice wins the beat).
  std::vector<int> takeDue(const TempoState& s, std::int64_t nowNs);
  // What takeDue would give at `atNs`, leaving everything as it is.
  std::vector<int> peekDue(const TempoState& s, std::int64_t atNs) const {
    BeatSchedule copy = *this;
    return copy.takeDue(s, atNs);
  }

 private:
  std::int64_t boundaryAtOrBefore(double beat) const;

  std::vector<int> slots_;
  int every_ = 4;
  std::size_t next_ = 0;           // index of the sequence's next slot
  std::int64_t lastBoundary_ = 0;  // beat index of the sequence's last recall
  Quantize quantize_ = Quantize::Off;
  std::optional<int> held_;
  double heldBeat_ = 0.0;
};

// Parsing the words the command line, the menu and OSC share. Nothing when unknown.
std::optional<Quantize> quantizeFromName(const std::string& name);
const char* quantizeName(Quantize q);

}  // namespace vz
