// SPDX-License-Identifier: GPL-3.0-or-later
#include "control/midi_input.h"

#include <unistd.h>

namespace vz {

namespace midi_detail {

bool wantedSource(const std::string& name) {
  return name.find("Midi Through") == std::string::npos && name.rfind(kClientName, 0) != 0;
}

}  // namespace midi_detail

Result<std::unique_ptr<MidiInput>> MidiInput::start(Sink sink) {
  if (::access("/dev/snd/seq", R_OK | W_OK) == 0) {
    if (auto alsa = midi_detail::startAlsa(std::move(sink))) return alsa;
    return Status::failure("cannot open the ALSA MIDI port");
  }
  if (!midi_detail::jackServerRunning())
    return Status::failure("no ALSA sequencer and no JACK server");
  if (auto jack = midi_detail::startJack(std::move(sink))) return jack;
  return Status::failure("cannot open the JACK MIDI port");
}

}  // namespace vz
