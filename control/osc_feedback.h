// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "base/result.h"
#include "control/look_changes.h"
#include "control/osc_requests.h"

namespace vz {

// One OSC message to send: its full address and its one argument.
using OscOut = std::pair<std::string, FeedbackValue>;

// OSC wire bytes: one message, or the messages in bundles ("immediately") of at most
// `maxBytes` each, so that none is cut into IP fragments; a single message goes bare.
std::vector<std::uint8_t> encodeOscMessage(const OscOut& message);
std::vector<std::vector<std::uint8_t>> encodeOscPackets(const std::vector<OscOut>& messages,
                                                        std::size_t maxBytes = 1400);

// "HOST:PORT" ("[v6]:PORT" too) resolved to one address. Fails with a line that says why.
Result<OscPeer> resolveOscTarget(const std::string& hostPort);

// Clients that asked for feedback with /videozarnix/subscribe. The input's thread notes
// requests and signs of life, the GUI thread reads who is still there; the lock is only
// held to copy or change the list.
class OscSubscribers {
 public:
  static constexpr std::int64_t kSilenceNs = 600'000'000'000;  // 10 minutes

  // True when the peer was not subscribed before.
  bool subscribe(const OscPeer& peer, std::int64_t nowNs);
  void unsubscribe(const OscPeer& peer);
  // Any packet from a subscriber keeps it.
  void heard(const OscPeer& peer, std::int64_t nowNs);
  // The subscribers heard from in the last 10 minutes; the others are dropped here.
  std::vector<OscPeer> live(std::int64_t nowNs);

 private:
  std::mutex mutex_;
  std::vector<std::pair<OscPeer, std::int64_t>> peers_;
};

// Sends feedback over UDP without ever waiting: non-blocking sockets, and a packet the
// system will not take now is dropped (the next change sends the value again). A target
// that cannot be reached costs one --verbose line until it can be again.
class OscSender {
 public:
  // `replyFd`: the input's bound socket, so that subscribers and queries are answered
  // from the port they sent to; -1 sends everything from sockets of our own.
  OscSender(bool verbose, int replyFd);
  ~OscSender();
  OscSender(const OscSender&) = delete;
  OscSender& operator=(const OscSender&) = delete;

  void send(const OscPeer& to, const std::vector<OscOut>& messages, bool reply = false);
  // Packets handed to the system and packets it refused, for tests and diagnostics.
  int sent() const { return sent_; }
  int refused() const { return refused_; }

 private:
  int socketFor(int family);
  bool verbose_;
  int replyFd_;
  int v4_ = -1, v6_ = -1;
  int sent_ = 0, refused_ = 0;
  std::map<std::string, bool> failing_;  // peer text -> said so already
};

// The OSC form of a state change: /videozarnix/<name> with its value.
OscOut oscFeedbackMessage(const LookChanges& changes, const StateChange& change);

}  // namespace vz
