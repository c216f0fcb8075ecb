// SPDX-License-Identifier: GPL-3.0-or-later
#include "control/controller_options.h"

#include <charconv>

namespace vz {

namespace {

bool fail(std::string* error, std::string reason) {
  *error = std::move(reason);
  return false;
}

}  // namespace

const ControllerOptionSpec kControllerOptionSpecs[4] = {
    {"midi", "auto|none", "MIDI input (ALSA sequencer, else JACK); default auto"},
    {"osc-port", "N", "OSC over UDP on port N (default 7770, 0 turns OSC off)"},
    {"osc-bind", "ADDR",
     "OSC listens on ADDR only (default: every interface, so anyone on the network can "
     "drive the show)"},
    {"verbose", "", "report ignored OSC messages on stderr"},
};

bool applyControllerOption(std::string_view name, std::string_view value, ControllerOptions& o,
                           std::string* error) {
  if (name == "midi") {
    if (value != "auto" && value != "none")
      return fail(error, "--midi: expected auto or none, got '" + std::string(value) + "'");
    o.midi = value == "auto";
  } else if (name == "osc-port") {
    int port = -1;
    const auto [ptr, ec] = std::from_chars(value.data(), value.data() + value.size(), port);
    if (value.empty() || ec != std::errc() || ptr != value.data() + value.size() || port < 0 ||
        port > 65535)
      return fail(error, "--osc-port: expected 0..65535, got '" + std::string(value) + "'");
    o.oscPort = port;
  } else if (name == "osc-bind") {
    if (value.empty()) return fail(error, "--osc-bind: an address is missing");
    o.oscBind = value;
  } else if (name == "verbose") {
    o.verbose = true;
  } else {
    return fail(error, "unknown option --" + std::string(name));
  }
  return true;
}

}  // namespace vz
