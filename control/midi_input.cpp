// SPDX-License-Identifier: GPL-3.0-or-later
#include "control/midi_input.h"

#include <unistd.h>

#include <chrono>

namespace vz {

namespace midi_detail {

bool wantedSource(const std::string& name) {
  return name.find("Midi Through") == std::string::npos && name.rfind(kClientName, 0) != 0;
}

bool isClockStatus(uint8_t status) {
  return status == 0xF8 || status == 0xFA || status == 0xFB || status == 0xFC || status == 0xF2;
}

int64_t steadyNowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace midi_detail

Result<std::unique_ptr<MidiInput>> MidiInput::start(Sink sink, ClockSink clock) {
  if (::access("/dev/snd/seq", R_OK | W_OK) == 0) {
    if (auto alsa = midi_detail::startAlsa(std::move(sink), std::move(clock))) return alsa;
    return Status::failure("cannot open the ALSA MIDI port");
  }
  if (!midi_detail::jackServerRunning())
    return Status::failure("no ALSA sequencer and no JACK server");
  if (auto jack = midi_detail::startJack(std::move(sink), std::move(clock))) return jack;
  return Status::failure("cannot open the JACK MIDI port");
}

}  // namespace vz
