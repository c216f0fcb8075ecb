// SPDX-License-Identifier: GPL-3.0-or-later
#include "control/feedback_options.h"

#include <charconv>

namespace vz {

const FeedbackOptionSpec kFeedbackOptionSpecs[2] = {
    {"osc-feedback", "HOST:PORT",
     "send the look's changes as OSC to HOST:PORT (may be given more than once)"},
    {"midi-feedback", "off|cc|all",
     "MIDI out to the controllers: mapped controllers follow the look (cc), and a Program "
     "Change goes out with each recall (all, the default)"},
};

namespace {

// HOST:PORT or [V6]:PORT with a port 1..65535; the host is looked up when feedback starts.
bool wellFormedTarget(std::string_view v) {
  const size_t colon = v.rfind(':');
  if (colon == std::string_view::npos || colon == 0) return false;
  const std::string_view host = v.substr(0, colon), port = v.substr(colon + 1);
  if (host.find(':') != std::string_view::npos && !(host.front() == '[' && host.back() == ']'))
    return false;
  int n = 0;
  const auto [ptr, ec] = std::from_chars(port.data(), port.data() + port.size(), n);
  return !port.empty() && ec == std::errc() && ptr == port.data() + port.size() && n >= 1 &&
         n <= 65535;
}

}  // namespace

Status applyFeedbackOption(std::string_view name, std::string_view value, FeedbackOptions& o) {
  if (name == "osc-feedback") {
    if (!wellFormedTarget(value))
      return Status::failure("--osc-feedback: expected HOST:PORT with a port 1..65535, got '" +
                             std::string(value) + "'");
    o.oscTargets.emplace_back(value);
    return {};
  }
  if (name == "midi-feedback") {
    Result<MidiFeedbackMode> mode = parseMidiFeedbackMode(value);
    if (!mode) return mode.status();
    o.midi = *mode;
    return {};
  }
  return Status::failure("unknown option --" + std::string(name));
}

}  // namespace vz
