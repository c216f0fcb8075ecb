// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

#include "base/result.h"
#include "tempo/beat_schedule.h"

namespace vz {

// Where the tempo comes from.
enum class TempoSourceKind { Off, Tap, Midi, Link, Audio, Fixed };

struct TempoChoice {
  TempoSourceKind kind = TempoSourceKind::Off;
  double bpm = 0.0;  // Fixed only
};

inline constexpr double kMinBpm = 20.0;
inline constexpr double kMaxBpm = 300.0;

// "off", "tap", "midi", "link", "audio" or a tempo 20..300 ("120", "127.5").
Result<TempoChoice> parseTempoChoice(std::string_view text);
const char* tempoSourceName(TempoSourceKind kind);

struct TempoOptions {
  TempoChoice tempo;                  // --tempo
  std::string sequence;               // --sequence LETTERS (A..Z)
  int sequenceBeats = 4;              // --sequence-beats N
  Quantize quantize = Quantize::Off;  // --quantize off|beat|bar
  int cycleRate = 1;                  // --cycle-rate N: colour-cycle steps a beat
  std::string audioInput = "auto";    // --audio-input, for the audio source
};

struct TempoOptionSpec {
  const char* name;
  const char* valueName;
  const char* help;
};
extern const TempoOptionSpec kTempoOptionSpecs[6];

// One option by name (without "--") and value, as a parser hands it over.
Status applyTempoOption(std::string_view name, std::string_view value, TempoOptions& options);

}  // namespace vz
