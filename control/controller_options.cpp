// SPDX-License-Identifier: GPL-3.0-or-later
#include "control/controller_options.h"

#include <charconv>

namespace vz {

const ControllerOptionSpec kControllerOptionSpecs[4] = {
    {"midi", "auto|none", "MIDI in and out (ALSA sequencer, else JACK); default auto"},
    {"osc-port", "N", "OSC over UDP on port N (default 7770, 0 turns OSC off)"},
    {"osc-bind", "ADDR",
     "OSC listens on ADDR only (default: every interface, so anyone on the network can "
     "drive the show)"},
    {"verbose", "", "report ignored OSC messages, and OSC feedback that cannot be sent, on stderr"},
};

Status applyControllerOption(std::string_view name, std::string_view value, ControllerOptions& o) {
  if (name == "midi") {
    if (value != "auto" && value != "none")
      return Status::failure("--midi: expected auto or none, got '" + std::string(value) + "'");
    o.midi = value == "auto";
  } else if (name == "osc-port") {
    int port = -1;
    const auto [ptr, ec] = std::from_chars(value.data(), value.data() + value.size(), port);
    if (value.empty() || ec != std::errc() || ptr != value.data() + value.size() || port < 0 ||
        port > 65535)
      return Status::failure("--osc-port: expected 0..65535, got '" + std::string(value) + "'");
    o.oscPort = port;
  } else if (name == "osc-bind") {
    if (value.empty()) return Status::failure("--osc-bind: an address is missing");
    o.oscBind = value;
  } else if (name == "verbose") {
    o.verbose = true;
  } else {
    return Status::failure("unknown option --" + std::string(name));
  }
  return {};
}

}  // namespace vz
