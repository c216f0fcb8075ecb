// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// OSC messages as they travel, serialised and read back by liblo, bundles around them, and
// the UDP socket on the loopback address that sends and receives them.
#include <arpa/inet.h>
#include <lo/lo.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

namespace vz::test {

template <class... Args>
std::vector<uint8_t> oscPacket(const char* path, const char* types, Args... args) {
  lo_message m = lo_message_new();
  lo_message_add(m, types, args...);
  size_t size = 0;
  void* data = lo_message_serialise(m, path, nullptr, &size);
  std::vector<uint8_t> out(static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + size);
  std::free(data);
  lo_message_free(m);
  return out;
}

// A bundle with that time tag (NTP: seconds since 1900 above, fraction below) around the
// elements (messages or bundles).
inline std::vector<uint8_t> oscBundle(uint64_t tag, std::initializer_list<std::vector<uint8_t>> e) {
  std::vector<uint8_t> b = {'#', 'b', 'u', 'n', 'd', 'l', 'e', 0};
  for (int shift = 56; shift >= 0; shift -= 8) b.push_back(static_cast<uint8_t>(tag >> shift));
  for (const auto& element : e) {
    const auto n = static_cast<uint32_t>(element.size());
    b.insert(b.end(), {uint8_t(n >> 24), uint8_t(n >> 16), uint8_t(n >> 8), uint8_t(n)});
    b.insert(b.end(), element.begin(), element.end());
  }
  return b;
}

// Every message of a packet, bundles opened, as "address type value" (its first argument) as
// liblo reads it; "malformed" for what liblo cannot read.
inline void readOscPacket(const uint8_t* p, size_t size, std::vector<std::string>& out) {
  if (size >= 16 && std::memcmp(p, "#bundle", 8) == 0) {
    for (size_t at = 16; at + 4 <= size;) {
      uint32_t n;
      std::memcpy(&n, p + at, 4);
      n = ntohl(n);
      if (n > size - at - 4) return out.push_back("malformed");
      readOscPacket(p + at + 4, n, out);
      at += 4 + n;
    }
    return;
  }
  std::vector<uint8_t> copy(p, p + size);
  int rc = 0;
  lo_message m = lo_message_deserialise(copy.data(), copy.size(), &rc);
  if (m == nullptr) return out.push_back("malformed");
  const char* types = lo_message_get_types(m);
  lo_arg* a = lo_message_get_argv(m)[0];
  const std::string v = types[0] == 'i'   ? std::to_string(a->i)
                        : types[0] == 'f' ? std::to_string(a->f)
                                          : std::string(&a->s);
  out.push_back(std::string(reinterpret_cast<const char*>(p)) + " " + types + " " + v);
  lo_message_free(m);
}

// A UDP socket on the loopback address that sends to `port`; bound to a free port of its own
// (bindFreePort), it also receives.
struct Udp {
  int fd = socket(AF_INET, SOCK_DGRAM, 0);
  int port = 0;
  explicit Udp(int port = 0) : port(port) {}
  ~Udp() { close(fd); }
  Udp(const Udp&) = delete;
  Udp& operator=(const Udp&) = delete;
  static sockaddr_in loopback(int port) {
    return {AF_INET, htons(static_cast<uint16_t>(port)), {htonl(INADDR_LOOPBACK)}, {}};
  }
  int bindFreePort() {
    sockaddr_in a = loopback(0);
    socklen_t n = sizeof a;
    if (bind(fd, reinterpret_cast<sockaddr*>(&a), n) != 0) return -1;
    getsockname(fd, reinterpret_cast<sockaddr*>(&a), &n);
    const int big = 1 << 22;  // room for a burst of answers
    setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &big, sizeof big);
    return ntohs(a.sin_port);
  }
  void raw(const std::vector<uint8_t>& b) {
    const sockaddr_in a = loopback(port);
    sendto(fd, b.data(), b.size(), 0, reinterpret_cast<const sockaddr*>(&a), sizeof a);
  }
  template <class... Args>
  void send(const char* path, const char* types, Args... args) {
    raw(oscPacket(path, types, args...));
  }
  // A datagram that has come, without waiting; the port it came from in fromPort.
  std::optional<std::vector<uint8_t>> receive(int* fromPort = nullptr) {
    std::vector<uint8_t> b(65536);
    sockaddr_in from{};
    socklen_t n = sizeof from;
    const ssize_t r =
        recvfrom(fd, b.data(), b.size(), MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&from), &n);
    if (r < 0) return std::nullopt;
    if (fromPort) *fromPort = ntohs(from.sin_port);
    b.resize(static_cast<size_t>(r));
    return b;
  }
};
// A UDP port nobody holds now.
inline int freeUdpPort() {
  return Udp().bindFreePort();
}

}  // namespace vz::test
