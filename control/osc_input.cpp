// SPDX-License-Identifier: GPL-3.0-or-later
#include "control/osc_input.h"

#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <thread>
#include <vector>

#include "base/terminal_safe.h"
#include "control/osc_parser.h"
#include "control/osc_schedule.h"
#include "control/osc_time.h"

namespace vz {

namespace {

// A bound UDP socket for address:port, or the reason there is none.
Result<int> bindUdp(const std::string& address, int port) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_DGRAM;
  hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
  addrinfo* found = nullptr;
  const std::string service = std::to_string(port);
  // Every interface: the IPv6 wildcard also takes IPv4 where the system allows it.
  const int rc =
      getaddrinfo(address.empty() ? nullptr : address.c_str(), service.c_str(), &hints, &found);
  if (rc != 0)
    return Result<int>::failure("cannot use address '" + address + "': " + gai_strerror(rc));
  std::vector<addrinfo*> order;
  for (addrinfo* a = found; a; a = a->ai_next)
    if (a->ai_family == AF_INET6) order.push_back(a);
  for (addrinfo* a = found; a; a = a->ai_next)
    if (a->ai_family != AF_INET6) order.push_back(a);
  int fd = -1;
  std::string error = "no usable address";
  for (addrinfo* a : order) {
    fd = ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol);
    if (fd < 0) {
      error = std::strerror(errno);
      continue;
    }
    if (a->ai_family == AF_INET6 && address.empty()) {
      const int no = 0;
      ::setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &no, sizeof no);
    }
    if (::bind(fd, a->ai_addr, a->ai_addrlen) == 0) break;
    error = "UDP port " + service + ": " + std::strerror(errno);
    ::close(fd);
    fd = -1;
  }
  freeaddrinfo(found);
  if (fd < 0) return Result<int>::failure(error);
  return fd;
}

class UdpOscInput final : public OscInput {
 public:
  UdpOscInput(int fd, Setup setup)
      : fd_(fd), stop_(::eventfd(0, EFD_CLOEXEC)), setup_(std::move(setup)) {
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
      // Asleep until a packet comes or the next timed request falls due, never longer.
      timespec wait{};
      const std::optional<int64_t> next = schedule_.next();
      if (next) {
        const int64_t ns = std::max<int64_t>(0, *next - oscClockNow().steadyNs);
        wait = {static_cast<time_t>(ns / 1'000'000'000), static_cast<long>(ns % 1'000'000'000)};
      }
      if (::ppoll(fds, 2, next ? &wait : nullptr, nullptr) < 0) {
        if (errno == EINTR) continue;
        return;
      }
      if (fds[1].revents != 0) return;
      if (fds[0].revents != 0) {
        OscPeer peer;
        peer.length = sizeof peer.address;
        const ssize_t n = ::recvfrom(fd_, buffer.data(), buffer.size(), MSG_DONTWAIT,
                                     reinterpret_cast<sockaddr*>(&peer.address), &peer.length);
        // Nothing after all, or an ICMP error for an earlier send: nothing to read.
        if (n >= 0) take(buffer.data(), static_cast<size_t>(n), peer);
      }
      for (const ControllerAction& a : schedule_.takeDue(oscClockNow().steadyNs)) setup_.sink(a);
    }
  }

  void take(const unsigned char* data, size_t size, const OscPeer& peer) {
    const OscClockReading now = oscClockNow();
    std::vector<OscRequest> requests;
    for (const OscOutcome& o : parseOscPacket(data, size, setup_.learned)) {
      if (o.request) {
        requests.push_back(*o.request);
        continue;
      }
      if (!o.action) {
        if (!(o.unknown && setup_.unknown && setup_.unknown(*o.unknown))) say(o.action.message());
        continue;
      }
      const OscWhen when = oscWhen(o.time, now);
      if (when.kind == OscWhen::Kind::Now) {
        setup_.sink(*o.action);
      } else if (when.kind == OscWhen::Kind::TooFar) {
        char ahead[32];
        std::snprintf(ahead, sizeof ahead, "%.1f", when.aheadNs / 1e9);
        say(std::string("a bundle timed ") + ahead + " s ahead, more than 10 s");
      } else if (!schedule_.add(when.steadyNs, *o.action)) {
        say("more than " + std::to_string(OscSchedule::kLimit) + " timed requests waiting");
      }
    }
    if (setup_.peers) setup_.peers(peer, requests);
  }

  void say(const std::string& problem) const {
    // Addresses come from the network: no escape sequence of theirs reaches the terminal.
    if (setup_.verbose)
      std::fprintf(stderr, "videozarnix: OSC ignored: %s\n", terminalSafe(problem).c_str());
  }

  int fd_;
  int stop_;
  int port_ = 0;
  Setup setup_;
  OscSchedule schedule_;  // the OSC thread's own
  std::thread thread_;
};

}  // namespace

Result<std::unique_ptr<OscInput>> OscInput::start(Setup setup) {
  if (setup.port < 0 || setup.port > 65535)
    return Status::failure("port " + std::to_string(setup.port) + " is not 0..65535");
  Result<int> fd = bindUdp(setup.address, setup.port);
  if (!fd) return fd.status();
  return std::unique_ptr<OscInput>(std::make_unique<UdpOscInput>(*fd, std::move(setup)));
}

}  // namespace vz
