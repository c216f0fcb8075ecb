// SPDX-License-Identifier: GPL-3.0-or-later
#include "tempo/tempo_options.h"

#include <charconv>
#include <cmath>

#include "tempo/beat_steps.h"

namespace vz {

const TempoOptionSpec kTempoOptionSpecs[6] = {
    {"tempo", "off|tap|midi|link|audio|BPM",
     "Where the beat comes from: taps, MIDI clock, a Link session, the sound of an audio input, "
     "or a fixed tempo in BPM (20 to 300); default off"},
    {"sequence", "LETTERS", "Recall these presets in turn on the beat, e.g. ABAC"},
    {"sequence-beats", "N", "Beats between the sequence's recalls (1 to 64, default 4)"},
    {"quantize", "off|beat|bar",
     "Recalls from keys, buttons, MIDI and OSC wait for the next beat or bar (default off)"},
    {"cycle-rate", "N", "Colour-cycle steps a beat with a tempo: 1, 2, 4, 8, 16 or 24 (default 1)"},
    {"audio-input", "auto|pipewire:NODE|jack", "Audio input of --tempo audio (default auto)"},
};

Result<TempoChoice> parseTempoChoice(std::string_view text) {
  for (TempoSourceKind k : {TempoSourceKind::Off, TempoSourceKind::Tap, TempoSourceKind::Midi,
                            TempoSourceKind::Link, TempoSourceKind::Audio})
    if (text == tempoSourceName(k)) return TempoChoice{k, 0.0};
  double bpm = 0.0;
  const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), bpm);
  if (text.empty() || ec != std::errc() || ptr != text.data() + text.size() || !std::isfinite(bpm))
    return Status::failure(
        "--tempo: expected off, tap, midi, link, audio or a tempo in BPM, got '" +
        std::string(text) + "'");
  if (bpm < kMinBpm || bpm > kMaxBpm)
    return Status::failure("--tempo: a tempo is 20 to 300 BPM, not " + std::string(text));
  return TempoChoice{TempoSourceKind::Fixed, bpm};
}

const char* tempoSourceName(TempoSourceKind kind) {
  switch (kind) {
    case TempoSourceKind::Tap:
      return "tap";
    case TempoSourceKind::Midi:
      return "midi";
    case TempoSourceKind::Link:
      return "link";
    case TempoSourceKind::Audio:
      return "audio";
    case TempoSourceKind::Fixed:
      return "fixed";
    case TempoSourceKind::Off:
      break;
  }
  return "off";
}

namespace {

Result<int> wholeNumber(std::string_view name, std::string_view value) {
  int n = 0;
  const auto [ptr, ec] = std::from_chars(value.data(), value.data() + value.size(), n);
  if (value.empty() || ec != std::errc() || ptr != value.data() + value.size())
    return Status::failure("--" + std::string(name) + ": expected a whole number, got '" +
                           std::string(value) + "'");
  return n;
}

}  // namespace

Status applyTempoOption(std::string_view name, std::string_view value, TempoOptions& o) {
  if (name == "tempo") {
    auto choice = parseTempoChoice(value);
    if (!choice) return choice.status();
    o.tempo = *choice;
  } else if (name == "sequence") {
    for (char c : value)
      if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')))
        return Status::failure("--sequence: letters A to Z only, got '" + std::string(value) + "'");
    o.sequence = value;
  } else if (name == "sequence-beats") {
    auto n = wholeNumber(name, value);
    if (!n) return n.status();
    if (*n < 1 || *n > 64)
      return Status::failure("--sequence-beats: 1 to 64, not " + std::string(value));
    o.sequenceBeats = *n;
  } else if (name == "quantize") {
    auto q = quantizeFromName(std::string(value));
    if (!q)
      return Status::failure("--quantize: expected off, beat or bar, got '" + std::string(value) +
                             "'");
    o.quantize = *q;
  } else if (name == "cycle-rate") {
    auto n = wholeNumber(name, value);
    if (!n || !BeatSteps::validRate(*n))
      return Status::failure("--cycle-rate: 1, 2, 4, 8, 16 or 24 steps a beat, not '" +
                             std::string(value) + "'");
    o.cycleRate = *n;
  } else if (name == "audio-input") {
    if (value != "auto" && value != "jack" && value.rfind("pipewire:", 0) != 0)
      return Status::failure("--audio-input: expected auto, pipewire:NODE or jack, got '" +
                             std::string(value) + "'");
    o.audioInput = value;
  } else {
    return Status::failure("unknown option --" + std::string(name));
  }
  return {};
}

}  // namespace vz
