// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "control/controller_actions.h"

namespace vz {

// MIDI in through the ALSA sequencer where the kernel has it, else through a running JACK
// server: one virtual input port "Video Zarnix", plus a connection to every other source
// port (but "Midi Through"), the port list looked at again about once a second. Program
// and control changes go to `sink` on the MIDI threads.
class MidiInput {
 public:
  using Sink = std::function<void(const ControllerAction&)>;
  // MIDI clock and transport (0xF8 clock, 0xFA Start, 0xFB Continue, 0xFC Stop, 0xF2 Song
  // Position with its two data bytes) as they arrive, with the steady-clock time of arrival in
  // nanoseconds. On the MIDI threads, one per source port.
  using ClockSink = std::function<void(uint8_t status, uint8_t data1, uint8_t data2, int64_t ns)>;

  // Nothing, with the reason in `error`, when neither MIDI system is there.
  static std::unique_ptr<MidiInput> start(Sink sink, std::string* error, ClockSink clock = {});
  virtual ~MidiInput() = default;

  // Source ports connected at the moment (for diagnostics and tests).
  virtual int connectedSources() const = 0;
  // The port is there: false from the JACK server's going (one line on stderr) until it is
  // back and the port open again (another line), which the input sees to by itself.
  virtual bool online() const = 0;
};

}  // namespace vz
