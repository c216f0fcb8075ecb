// SPDX-License-Identifier: GPL-3.0-or-later
#include "control/osc_feedback.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace vz {

namespace {

void putString(std::vector<std::uint8_t>& out, std::string_view s) {
  out.insert(out.end(), s.begin(), s.end());
  do out.push_back(0);  // at least one NUL, then up to a multiple of four
  while (out.size() % 4 != 0);
}

void putWord(std::vector<std::uint8_t>& out, std::uint32_t w) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(w >> shift));
}

}  // namespace

std::vector<std::uint8_t> encodeOscMessage(const OscOut& m) {
  std::vector<std::uint8_t> out;
  putString(out, m.first);
  if (const int* i = std::get_if<int>(&m.second)) {
    putString(out, ",i");
    putWord(out, static_cast<std::uint32_t>(*i));
  } else if (const float* f = std::get_if<float>(&m.second)) {
    putString(out, ",f");
    putWord(out, std::bit_cast<std::uint32_t>(*f));
  } else {
    putString(out, ",s");
    putString(out, std::get<std::string>(m.second));
  }
  return out;
}

std::vector<std::vector<std::uint8_t>> encodeOscPackets(const std::vector<OscOut>& messages,
                                                        std::size_t maxBytes) {
  std::vector<std::vector<std::uint8_t>> packets;
  if (messages.size() == 1) {
    packets.push_back(encodeOscMessage(messages.front()));
    return packets;
  }
  std::vector<std::uint8_t> bundle;
  int inBundle = 0;
  auto start = [&] {
    bundle.clear();
    putString(bundle, "#bundle");
    putWord(bundle, 0), putWord(bundle, 1);  // time tag 1: immediately
    inBundle = 0;
  };
  start();
  for (const OscOut& m : messages) {
    const std::vector<std::uint8_t> element = encodeOscMessage(m);
    if (inBundle > 0 && bundle.size() + 4 + element.size() > maxBytes) {
      packets.push_back(bundle);
      start();
    }
    putWord(bundle, static_cast<std::uint32_t>(element.size()));
    bundle.insert(bundle.end(), element.begin(), element.end());
    ++inBundle;
  }
  if (inBundle > 0) packets.push_back(bundle);
  return packets;
}

Result<OscPeer> resolveOscTarget(const std::string& hostPort) {
  const size_t colon = hostPort.rfind(':');
  if (colon == std::string::npos || colon == 0 || colon + 1 == hostPort.size())
    return Status::failure("'" + hostPort + "' is not HOST:PORT");
  std::string host = hostPort.substr(0, colon);
  const std::string port = hostPort.substr(colon + 1);
  if (host.size() >= 2 && host.front() == '[' && host.back() == ']')
    host = host.substr(1, host.size() - 2);
  if (port.find_first_not_of("0123456789") != std::string::npos || port.size() > 5 ||
      std::stoi(port) < 1 || std::stoi(port) > 65535)
    return Status::failure("'" + hostPort + "': the port is not 1..65535");
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_DGRAM;
  hints.ai_flags = AI_NUMERICSERV;
  addrinfo* found = nullptr;
  if (const int rc = getaddrinfo(host.c_str(), port.c_str(), &hints, &found); rc != 0)
    return Status::failure("'" + hostPort + "': " + gai_strerror(rc));
  OscPeer peer;
  std::memcpy(&peer.address, found->ai_addr, found->ai_addrlen);
  peer.length = found->ai_addrlen;
  freeaddrinfo(found);
  return peer;
}

bool OscSubscribers::subscribe(const OscPeer& peer, std::int64_t now) {
  const std::lock_guard lock(mutex_);
  for (auto& [p, seen] : peers_)
    if (p == peer) {
      seen = now;
      return false;
    }
  peers_.emplace_back(peer, now);
  return true;
}

void OscSubscribers::unsubscribe(const OscPeer& peer) {
  const std::lock_guard lock(mutex_);
  std::erase_if(peers_, [&](const auto& e) { return e.first == peer; });
}

void OscSubscribers::heard(const OscPeer& peer, std::int64_t now) {
  const std::lock_guard lock(mutex_);
  for (auto& [p, seen] : peers_)
    if (p == peer) seen = std::max(seen, now);
}

std::vector<OscPeer> OscSubscribers::live(std::int64_t now) {
  std::vector<OscPeer> out;
  const std::lock_guard lock(mutex_);
  std::erase_if(peers_, [&](const auto& e) { return now - e.second >= kSilenceNs; });
  for (const auto& e : peers_) out.push_back(e.first);
  return out;
}

OscSender::OscSender(bool verbose, int replyFd) : verbose_(verbose), replyFd_(replyFd) {}

OscSender::~OscSender() {
  if (v4_ >= 0) ::close(v4_);
  if (v6_ >= 0) ::close(v6_);
}

int OscSender::socketFor(int family) {
  int& fd = family == AF_INET6 ? v6_ : v4_;
  if (fd < 0) fd = ::socket(family, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  return fd;
}

void OscSender::send(const OscPeer& to, const std::vector<OscOut>& messages, bool reply) {
  if (messages.empty()) return;
  int fd = reply && replyFd_ >= 0 ? replyFd_ : socketFor(to.address.ss_family);
  const std::string who = verbose_ ? to.text() : std::string();
  for (const std::vector<std::uint8_t>& packet : encodeOscPackets(messages)) {
    // MSG_DONTWAIT: the reply socket is the input's, which blocks for its own thread.
    const ssize_t n = fd < 0
                          ? -1
                          : ::sendto(fd, packet.data(), packet.size(), MSG_DONTWAIT | MSG_NOSIGNAL,
                                     reinterpret_cast<const sockaddr*>(&to.address), to.length);
    if (n >= 0) {
      ++sent_;
      if (verbose_ && failing_[who]) {
        failing_[who] = false;
        std::fprintf(stderr, "videozarnix: OSC feedback reaches %s again\n", who.c_str());
      }
      continue;
    }
    const int error = fd < 0 ? EAFNOSUPPORT : errno;
    ++refused_;
    if (verbose_ && !failing_[who]) {
      failing_[who] = true;
      std::fprintf(stderr, "videozarnix: OSC feedback to %s not sent: %s\n", who.c_str(),
                   std::strerror(error));
    }
    return;  // the rest of this batch would fare no better
  }
}

OscOut oscFeedbackMessage(const LookChanges& changes, const StateChange& change) {
  return {"/videozarnix/" + changes.item(change.item).name, change.value};
}

}  // namespace vz
