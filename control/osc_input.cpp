// SPDX-License-Identifier: GPL-3.0-or-later
#include "control/osc_input.h"

#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <thread>
#include <vector>

#include "base/terminal_safe.h"
#include "control/osc_parser.h"

namespace vz {

namespace {

// A bound UDP socket for address:port, or -1 with the reason in `error`.
int bindUdp(const std::string& address, int port, std::string* error) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_DGRAM;
  hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
  addrinfo* found = nullptr;
  const std::string service = std::to_string(port);
  // Every interface: the IPv6 wildcard also takes IPv4 where the system allows it.
  const int rc =
      getaddrinfo(address.empty() ? nullptr : address.c_str(), service.c_str(), &hints, &found);
  if (rc != 0) {
    *error = "cannot use address '" + address + "': " + gai_strerror(rc);
    return -1;
  }
  std::vector<addrinfo*> order;
  for (addrinfo* a = found; a; a = a->ai_next)
    if (a->ai_family == AF_INET6) order.push_back(a);
  for (addrinfo* a = found; a; a = a->ai_next)
    if (a->ai_family != AF_INET6) order.push_back(a);
  int fd = -1;
  *error = "no usable address";
  for (addrinfo* a : order) {
    fd = ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol);
    if (fd < 0) {
      *error = std::strerror(errno);
      continue;
    }
    if (a->ai_family == AF_INET6 && address.empty()) {
      const int no = 0;
      ::setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &no, sizeof no);
    }
    if (::bind(fd, a->ai_addr, a->ai_addrlen) == 0) break;
    *error = "UDP port " + service + ": " + std::strerror(errno);
    ::close(fd);
    fd = -1;
  }
  freeaddrinfo(found);
  return fd;
}

class UdpOscInput final : public OscInput {
 public:
  UdpOscInput(int fd, bool verbose, Sink sink, PeerSink peers)
      : fd_(fd),
        stop_(::eventfd(0, EFD_CLOEXEC)),
        verbose_(verbose),
        sink_(std::move(sink)),
        peers_(std::move(peers)) {
    sockaddr_storage bound{};
    socklen_t length = sizeof bound;
    ::getsockname(fd_, reinterpret_cast<sockaddr*>(&bound), &length);
    port_ = ntohs(bound.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6*>(&bound)->sin6_port
                                              : reinterpret_cast<sockaddr_in*>(&bound)->sin_port);
    thread_ = std::thread([this] { run(); });
  }

  ~UdpOscInput() override {
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(stop_, &one, sizeof one);
    thread_.join();
    ::close(stop_);
    ::close(fd_);
  }

  int port() const override { return port_; }
  int socket() const override { return fd_; }

 private:
  void run() {
    std::vector<unsigned char> buffer(65536);
    pollfd fds[2] = {{fd_, POLLIN, 0}, {stop_, POLLIN, 0}};
    for (;;) {
      if (::poll(fds, 2, -1) < 0) {
        if (errno == EINTR) continue;
        return;
      }
      if (fds[1].revents != 0) return;
      OscPeer peer;
      peer.length = sizeof peer.address;
      const ssize_t n = ::recvfrom(fd_, buffer.data(), buffer.size(), MSG_DONTWAIT,
                                   reinterpret_cast<sockaddr*>(&peer.address), &peer.length);
      if (n < 0) continue;  // nothing after all, or an ICMP error for an earlier send
      std::vector<OscRequest> requests;
      for (OscResult& r : parseOscPacket(buffer.data(), static_cast<size_t>(n))) {
        if (r.action)
          sink_(*r.action);
        else if (r.request)
          requests.push_back(std::move(*r.request));
        else if (verbose_)
          // Addresses come from the network: no escape sequence of theirs reaches the terminal.
          std::fprintf(stderr, "videozarnix: OSC ignored: %s\n", terminalSafe(r.problem).c_str());
      }
      if (peers_) peers_(peer, requests);
    }
  }

  int fd_;
  int stop_;
  int port_ = 0;
  bool verbose_;
  Sink sink_;
  PeerSink peers_;
  std::thread thread_;
};

}  // namespace

std::unique_ptr<OscInput> OscInput::start(const std::string& address, int port, bool verbose,
                                          Sink sink, std::string* error, PeerSink peers) {
  if (port < 0 || port > 65535) {
    *error = "port " + std::to_string(port) + " is not 0..65535";
    return nullptr;
  }
  const int fd = bindUdp(address, port, error);
  if (fd < 0) return nullptr;
  return std::make_unique<UdpOscInput>(fd, verbose, std::move(sink), std::move(peers));
}

}  // namespace vz
