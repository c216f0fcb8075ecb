// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "base/result.h"
#include "control/controller_actions.h"
#include "control/midi_parser.h"

namespace vz {

// MIDI both ways through the ALSA sequencer where the kernel has it, else through a running
// JACK server, as one client "Video Zarnix": an input port that every other source (but
// "Midi Through") is connected to, and an output port beside it, connected back to the
// controllers the input was connected to. A connection the user made by hand is left as it
// is, and never made a second time. The port list is looked at again about once a second.
// Program and control changes go to `sink` on the MIDI threads.
class MidiInput {
 public:
  using Sink = std::function<void(const ControllerAction&)>;
  // MIDI clock and transport (0xF8 clock, 0xFA Start, 0xFB Continue, 0xFC Stop, 0xF2 Song
  // Position with its two data bytes) as they arrive, with the steady-clock time of arrival in
  // nanoseconds. On the MIDI threads.
  using ClockSink = std::function<void(uint8_t status, uint8_t data1, uint8_t data2, int64_t ns)>;

  // Fails, with the reason, when neither MIDI system is there.
  static Result<std::unique_ptr<MidiInput>> start(Sink sink, ClockSink clock = {});
  virtual ~MidiInput() = default;

  // Source ports connected to the input at the moment (for diagnostics and tests).
  virtual int connectedSources() const = 0;
  // Ports the output is connected to at the moment.
  virtual int connectedDestinations() const = 0;
  // The port is there: false from the JACK server's going (one line on stderr) until it is
  // back and the port open again (another line), which the input sees to by itself.
  virtual bool online() const = 0;
  // One channel message out, from the GUI thread; never waits (with the queue full, or the
  // port gone, the message is dropped).
  virtual void send(const MidiMessage& message) = 0;
};

namespace midi_detail {
inline constexpr const char* kClientName = "Video Zarnix";
// A source the input connects to by itself: not ours (nor another Video Zarnix's), not
// the sequencer's echo port.
bool wantedSource(const std::string& portName);
// nullptr: no server / cannot open.
std::unique_ptr<MidiInput> startJack(MidiInput::Sink sink, MidiInput::ClockSink clock);
std::unique_ptr<MidiInput> startAlsa(MidiInput::Sink sink, MidiInput::ClockSink clock);
bool isClockStatus(uint8_t status);
int64_t steadyNowNs();
bool jackServerRunning();
}  // namespace midi_detail

}  // namespace vz
