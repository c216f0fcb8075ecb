// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "base/result.h"
#include "tempo/tempo_clock.h"

namespace vz {

// Something that keeps the tempo clock set while it runs: a Link session, an audio beat
// tracker. Tap, MIDI clock and a fixed tempo write the clock directly and need no object.
class TempoSource {
 public:
  virtual ~TempoSource() = default;
  // Joins or opens; a failure carries one line for stderr and leaves the clock alone.
  virtual Status start() = 0;
  virtual void stop() = 0;  // the owner stops the clock itself afterwards
  // A tap while this source runs: the tapped tempo (already measured) for the source to propose
  // (Link proposes it to the session). Sources that cannot take a tempo ignore it.
  virtual void proposeTempo(double bpm, std::int64_t beatNs) {
    (void)bpm;
    (void)beatNs;
  }
};

struct TempoSourceOptions {
  std::string audioInput = "auto";  // --audio-input: auto | pipewire:NODE | jack
};

// The Link and audio sources. Built where VZ_HAVE_LINK_TEMPO / VZ_HAVE_AUDIO_TEMPO are
// defined (by the targets that compile them); without them the program says the source is not
// built in and keeps the clock off.
std::unique_ptr<TempoSource> makeLinkTempoSource(TempoClock& clock,
                                                 const TempoSourceOptions& options);
std::unique_ptr<TempoSource> makeAudioTempoSource(TempoClock& clock,
                                                  const TempoSourceOptions& options);

}  // namespace vz
