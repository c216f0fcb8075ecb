// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/result.h"
#include "control/controller_actions.h"
#include "control/osc_mappings.h"
#include "control/osc_parser.h"
#include "control/osc_requests.h"

namespace vz {

// OSC over UDP on a thread of its own: every packet read, parsed and its requests handed to
// `sink` on that thread, those of bundles timed in the future (up to 10 s) at their time
// while other packets go on being read; with `verbose`, one stderr line per ignored message.
class OscInput {
 public:
  using Sink = std::function<void(const ControllerAction&)>;
  // Every packet's sender with the feedback requests it held (often none: a packet is a
  // sign of life all the same), on the input's thread.
  using PeerSink = std::function<void(const OscPeer&, const std::vector<OscRequest>&)>;
  struct Setup {
    std::string address;  // empty: every interface
    int port = 0;         // 0: any free port
    bool verbose = false;
    Sink sink;
    const OscMappings* learned = nullptr;  // addresses learned, taken as their controls take them
    // A message at an address nobody has bound, for OSC learn (on the OSC thread): true when
    // taken, which keeps it off the --verbose lines.
    std::function<bool(const OscUnknown&)> unknown;
    PeerSink peers;  // may be empty
  };

  // Binds address:port; the reason when that fails (the port taken, a bad address).
  static Result<std::unique_ptr<OscInput>> start(Setup setup);
  virtual ~OscInput() = default;
  virtual int port() const = 0;
  // The bound socket, for answers that come from the port the client sent to.
  virtual int socket() const = 0;
};

}  // namespace vz
