// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "control/controller_actions.h"
#include "control/osc_requests.h"

namespace vz {

// OSC over UDP on a thread of its own: every packet read, parsed and its requests handed to
// `sink` on that thread; with `verbose`, one stderr line per ignored message.
class OscInput {
 public:
  using Sink = std::function<void(const ControllerAction&)>;
  // Every packet's sender with the feedback requests it held (often none: a packet is a
  // sign of life all the same), on the input's thread.
  using PeerSink = std::function<void(const OscPeer&, const std::vector<OscRequest>&)>;

  // Binds `address` (empty: every interface) at `port` (0: any free port). Nothing, with
  // the reason in `error`, when that fails (the port taken, a bad address).
  static std::unique_ptr<OscInput> start(const std::string& address, int port, bool verbose,
                                         Sink sink, std::string* error, PeerSink peers = {});
  virtual ~OscInput() = default;
  virtual int port() const = 0;
  // The bound socket, for answers that come from the port the client sent to.
  virtual int socket() const = 0;
};

}  // namespace vz
