// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <sys/socket.h>

#include <optional>
#include <string>

namespace vz {

// Where a UDP packet came from: its sender's address and port, to answer there.
struct OscPeer {
  sockaddr_storage address{};
  socklen_t length = 0;
  // "127.0.0.1:9000", "[::1]:9000".
  std::string text() const;
  bool operator==(const OscPeer& o) const;
};

// A client's request about feedback rather than the look:
//   /videozarnix/subscribe             feedback to the sender until it unsubscribes or is silent
//   /videozarnix/unsubscribe
//   /videozarnix/get                   the whole state, to the sender
//   /videozarnix/get s ADDRESS         one value ("/videozarnix/gain/red" or "gain/red")
struct OscRequest {
  enum class Kind { Subscribe, Unsubscribe, Get };
  Kind kind;
  std::string address;  // Get: empty for the whole state, else the name under /videozarnix/
  bool operator==(const OscRequest&) const = default;
};

// The request an address and its arguments ask for; nothing when the address is no request.
// A request with arguments it does not take gives `problem` instead.
struct OscRequestParse {
  std::optional<OscRequest> request;
  std::string problem;
};
std::optional<OscRequestParse> parseOscRequest(const std::string& path, const char* types,
                                               const char* firstString);

}  // namespace vz
